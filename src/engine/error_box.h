// A message box without owner, caption "エラー", error icon and OK.
#pragma once

#include "engine/patch_view.h"

void ErrorBox(IPatchView& context, const CString& text);
// The formatting form: the text is formatted into 260 bytes; a longer text is
// cut there, never overflowed, and never in the middle of a double-byte
// character.
void ErrorBox(IPatchView& context, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// The formatting itself, for the box above (exposed for tests).
CString FormatErrorBoxText(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
