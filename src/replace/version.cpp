#include "replace/version.h"

#include <cstdio>

#include "engine/texts.h"
#include "replace/texts.h"

CVersion::CVersion(IPatchView& context, const CString& path) { Load(context, path); }

CVersion::CVersion(IPatchView& context) { Load(context, platform::Payloads().ModulePath()); }

CVersion::~CVersion() = default;

void CVersion::Load(IPatchView& context, const CString& path) {
    std::unique_ptr<platform::IVersionInfo> info;
    switch (platform::Files().LoadVersionInfo(path, &info)) {
        case platform::VersionInfoStatus::kNoInformation:
            context.ShowMessage(text::kVersionInfoSizeFailed, text::kCaptionError,
                                kMbOk | kMbIconExclamation, false);
            return;
        case platform::VersionInfoStatus::kUnreadable:
            unreadable_ = true;
            return;
        case platform::VersionInfoStatus::kLoaded:
            break;
    }
    if (!info) return;
    info_ = std::move(info);
    hasFixed_ = info_->FixedInfo(&fixed_);
    hasTranslation_ = info_->FirstTranslation(&translation_);
}

CString CVersion::FormatVersion(uint32_t ms, uint32_t ls) const {
    char text[32];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", static_cast<unsigned>(ms >> 16),
                  static_cast<unsigned>(ms & 0xFFFF), static_cast<unsigned>(ls >> 16),
                  static_cast<unsigned>(ls & 0xFFFF));
    return text;
}

CString CVersion::GetFileVersion() const {
    if (!hasFixed_) return CString();
    return FormatVersion(fixed_.file_version_ms, fixed_.file_version_ls);
}

CString CVersion::GetProductVersion() const {
    if (!hasFixed_) return CString();
    return FormatVersion(fixed_.product_version_ms, fixed_.product_version_ls);
}

CString CVersion::GetString(const char* field) const {
    if (!info_ || !hasTranslation_) return CString();
    char query[64];
    std::snprintf(query, sizeof query, "\\StringFileInfo\\%04X%04X\\%s",
                  static_cast<unsigned>(translation_.language),
                  static_cast<unsigned>(translation_.code_page), field);
    CString value;
    if (!info_->QueryText(query, &value)) return CString();
    return value;
}

CString CVersion::GetComments() const { return GetString("Comments"); }
CString CVersion::GetCompanyName() const { return GetString("CompanyName"); }
CString CVersion::GetFileDescription() const { return GetString("FileDescription"); }
CString CVersion::GetInternalName() const { return GetString("InternalName"); }
CString CVersion::GetLegalCopyright() const { return GetString("LegalCopyright"); }
CString CVersion::GetLegalTrademarks() const { return GetString("LegalTrademarks"); }
CString CVersion::GetOriginalFilename() const { return GetString("OriginalFilename"); }
CString CVersion::GetPrivateBuild() const { return GetString("PrivateBuild"); }
CString CVersion::GetProductName() const { return GetString("ProductName"); }
CString CVersion::GetSpecialBuild() const { return GetString("SpecialBuild"); }
