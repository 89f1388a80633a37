// The three kinds of error that travel as exceptions, all thrown by value.
#pragma once

#include "engine/types.h"

// A constant text: the undefined-command error.
struct CTextError {
    const char* text;
};

// A message worded by a command ("[path] description"); ends a run as
// interrupted.
struct CMessageError {
    CString text;
};

// Broken contents met by the file layer.
class CError {
public:
    explicit CError(CString text) : text_(std::move(text)) {}
    virtual ~CError() = default;
    virtual CString GetErrorText() const { return text_; }

private:
    CString text_;
};

// printf-style formatting into a CString of any length.
CString FormatText(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// A message error with printf-style formatting.
CMessageError MessageError(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
