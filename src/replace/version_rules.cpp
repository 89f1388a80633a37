#include "replace/version_rules.h"

#include <cstring>

bool IsExeUpToDate(const CString& installed, const CString& argument) {
    return std::strcmp(installed.c_str(), argument.c_str()) >= 0;
}
