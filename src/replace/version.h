// The version resource of an executable: its file and product versions and
// the texts of its first translation.
#pragma once

#include <memory>

#include "base/types.h"
#include "engine/patch_view.h"
#include "platform/platform.h"

class CVersion {
public:
    // Reads the version information of the file at `path`. A file that is
    // missing or has none is reported through `context` in a box without
    // owner ("GetFileVersionInfoSizeで失敗した", caption "エラー",
    // exclamation icon, OK); one that is there but cannot be read (held by
    // another program, a failing disk) is not, and says so in Unreadable().
    // Either way the object is then without data and every getter returns
    // the empty text.
    CVersion(IPatchView& context, const CString& path);
    // The same for the program's own executable.
    explicit CVersion(IPatchView& context);
    virtual ~CVersion();

    CVersion(const CVersion&) = delete;
    CVersion& operator=(const CVersion&) = delete;

    // "a.b.c.d" from the fixed information's file-version fields (high and
    // low 16 bits of the MS field, then of the LS field), in decimal.
    CString GetFileVersion() const;
    // The same from the product-version fields.
    CString GetProductVersion() const;

    // One text of the string table of the first translation; empty when it
    // is absent.
    CString GetComments() const;
    CString GetCompanyName() const;
    CString GetFileDescription() const;
    CString GetInternalName() const;
    CString GetLegalCopyright() const;
    CString GetLegalTrademarks() const;
    CString GetOriginalFilename() const;
    CString GetPrivateBuild() const;
    CString GetProductName() const;
    CString GetSpecialBuild() const;

    // The file is there, but its version information could not be read:
    // no answer, rather than "no version".
    bool Unreadable() const { return unreadable_; }

private:
    void Load(IPatchView& context, const CString& path);
    CString FormatVersion(uint32_t ms, uint32_t ls) const;
    CString GetString(const char* field) const;

    std::unique_ptr<platform::IVersionInfo> info_;  // null without data
    bool hasFixed_ = false;
    platform::FixedFileInfo fixed_;
    bool hasTranslation_ = false;
    platform::VersionTranslation translation_;
    bool unreadable_ = false;
};
