// The errors that travel as exceptions, all thrown by value. There are
// three kinds, under one base: whoever shows an error asks it for its text
// and need not know which kind it is.
#pragma once

#include <utility>

#include "base/types.h"

class CPatchError {
public:
    virtual ~CPatchError() = default;
    // What the player is shown.
    virtual CString Text() const = 0;
};

// A constant text: the undefined-command error.
struct CTextError : CPatchError {
    explicit CTextError(const char* text) : text(text) {}
    CString Text() const override { return text; }

    const char* text;
};

// A message worded by a command ("[path] description"); ends a run as
// interrupted.
struct CMessageError : CPatchError {
    explicit CMessageError(CString text) : text(std::move(text)) {}
    CString Text() const override { return text; }

    CString text;
};

// Broken contents met by the file layer.
class CError : public CPatchError {
public:
    explicit CError(CString text) : text_(std::move(text)) {}
    virtual CString GetErrorText() const { return text_; }
    CString Text() const override { return GetErrorText(); }

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
