// The Win32 side of the seam: the wide API, with every CP932 name
// converted explicitly through code page 932.
#include <process.h>
#include <windows.h>

#include <memory>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/win32_text.h"

namespace platform {

namespace {

class Win32File : public IOsFile {
public:
    explicit Win32File(HANDLE handle) : handle_(handle) {}
    ~Win32File() override {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }

    uint32_t Read(void* buffer, uint32_t count, uint32_t* done) override {
        DWORD read = 0;
        BOOL ok = ReadFile(handle_, buffer, count, &read, nullptr);
        *done = read;
        return ok ? 0 : GetLastError();
    }

    uint32_t Write(const void* buffer, uint32_t count, uint32_t* done) override {
        DWORD written = 0;
        BOOL ok = WriteFile(handle_, buffer, count, &written, nullptr);
        *done = written;
        if (!ok) {
            DWORD error = GetLastError();
            return error ? error : kErrorWriteFault;
        }
        return written == count ? 0 : kErrorDiskFull;
    }

    uint32_t Seek(int32_t distance, int32_t* high, uint32_t method, uint32_t* error) override {
        LONG highPart = high ? *high : 0;
        SetLastError(0);
        DWORD low = SetFilePointer(handle_, distance, high ? &highPart : nullptr, method);
        *error = (low == INVALID_SET_FILE_POINTER) ? GetLastError() : 0;
        if (high && *error == 0) *high = highPart;
        return low;
    }

    uint32_t Size(uint32_t* high, uint32_t* error) override {
        DWORD highPart = 0;
        SetLastError(0);
        DWORD low = GetFileSize(handle_, &highPart);
        *error = (low == INVALID_FILE_SIZE) ? GetLastError() : 0;
        if (high) *high = highPart;
        return low;
    }

    uint32_t Flush() override { return FlushFileBuffers(handle_) ? 0 : GetLastError(); }

    uint32_t Close() override {
        if (handle_ == INVALID_HANDLE_VALUE) return 0;
        if (!CloseHandle(handle_)) return GetLastError();
        handle_ = INVALID_HANDLE_VALUE;
        return 0;
    }

private:
    HANDLE handle_;
};

// Converts a found entry; false for a name that CP932 cannot spell (such a
// file is out of the program's reach and is left out of searches).
bool ToFindData(const WIN32_FIND_DATAW& found, FindData* data) {
    std::string name;
    if (!Cp932FromWide(found.cFileName, wcslen(found.cFileName), &name)) return false;
    data->name = name;
    data->directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    data->read_only = (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    data->size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    return true;
}

class Win32Search : public IFileSearch {
public:
    explicit Win32Search(HANDLE handle) : handle_(handle) {}
    ~Win32Search() override { FindClose(handle_); }

    bool Next(FindData* data) override {
        WIN32_FIND_DATAW found;
        while (FindNextFileW(handle_, &found)) {
            if (ToFindData(found, data)) return true;
        }
        return false;
    }

private:
    HANDLE handle_;
};

class Win32Thread : public IThread {
public:
    explicit Win32Thread(HANDLE handle) : handle_(handle) {}
    ~Win32Thread() override { Join(); }
    void Join() override {
        if (!handle_) return;
        WaitForSingleObject(handle_, INFINITE);
        CloseHandle(handle_);
        handle_ = nullptr;
    }

private:
    HANDLE handle_;
};

class Win32Lock : public IRecursiveLock {
public:
    Win32Lock() { InitializeCriticalSection(&section_); }
    ~Win32Lock() override { DeleteCriticalSection(&section_); }
    void Enter() override { EnterCriticalSection(&section_); }
    void Leave() override { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

unsigned __stdcall ThreadEntry(void* argument) {
    std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(argument));
    (*body)();
    return 0;
}

class RegistryKey {
public:
    ~RegistryKey() {
        if (key_) RegCloseKey(key_);
    }
    HKEY* out() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

class Win32Platform : public IPlatform {
public:
    std::unique_ptr<IOsFile> OpenFile(const std::string& path, uint32_t access, uint32_t share,
                                      uint32_t disposition, uint32_t* error) override {
        std::wstring wide;
        if (!WideFromCp932(path, &wide)) {
            *error = kErrorInvalidName;
            return nullptr;
        }
        HANDLE handle = CreateFileW(wide.c_str(), access, share, nullptr, disposition,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            *error = GetLastError();
            return nullptr;
        }
        *error = 0;
        return std::make_unique<Win32File>(handle);
    }

    std::unique_ptr<IFileSearch> FindFirst(const std::string& pattern, FindData* data,
                                           uint32_t* error) override {
        uint32_t ignored = 0;
        uint32_t& reason = error ? *error : ignored;
        std::wstring wide;
        if (!WideFromCp932(pattern, &wide)) {
            reason = kErrorInvalidName;
            return nullptr;
        }
        WIN32_FIND_DATAW found;
        HANDLE handle = FindFirstFileW(wide.c_str(), &found);
        if (handle == INVALID_HANDLE_VALUE) {
            reason = GetLastError();
            if (reason == 0) reason = kErrorFileNotFound;
            return nullptr;
        }
        auto search = std::make_unique<Win32Search>(handle);
        reason = 0;
        if (ToFindData(found, data) || search->Next(data)) return search;
        reason = kErrorFileNotFound;  // only entries without a CP932 name
        return nullptr;
    }

    uint32_t Rename(const std::string& from, const std::string& to) override {
        std::wstring wideFrom, wideTo;
        if (!WideFromCp932(from, &wideFrom) || !WideFromCp932(to, &wideTo)) {
            return kErrorInvalidName;
        }
        return MoveFileW(wideFrom.c_str(), wideTo.c_str()) ? 0 : GetLastError();
    }

    uint32_t Remove(const std::string& path) override {
        std::wstring wide;
        if (!WideFromCp932(path, &wide)) return kErrorInvalidName;
        return DeleteFileW(wide.c_str()) ? 0 : GetLastError();
    }

    uint32_t SetReadOnly(const std::string& path, bool readOnly) override {
        std::wstring wide;
        if (!WideFromCp932(path, &wide)) return kErrorInvalidName;
        DWORD attributes = GetFileAttributesW(wide.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError();
        attributes = readOnly ? (attributes | FILE_ATTRIBUTE_READONLY)
                              : (attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
        return SetFileAttributesW(wide.c_str(), attributes) ? 0 : GetLastError();
    }

    // NTFS keeps its folder entries in its own journal; a rename or a
    // delete is durable once the call returns.
    uint32_t FlushFolder(const std::string&) override { return 0; }

    uint32_t MakeFolder(const std::string& path) override {
        std::wstring wide;
        if (!WideFromCp932(path, &wide)) return kErrorInvalidName;
        return CreateDirectoryW(wide.c_str(), nullptr) ? 0 : GetLastError();
    }

    uint32_t RemoveFolder(const std::string& path) override {
        std::wstring wide;
        if (!WideFromCp932(path, &wide)) return kErrorInvalidName;
        return RemoveDirectoryW(wide.c_str()) ? 0 : GetLastError();
    }

    bool FindPayload(const std::string& name, const std::string& type, Payload* out) override {
        std::wstring wideName, wideType;
        if (!WideFromCp932(name, &wideName) || !WideFromCp932(type, &wideType)) return false;
        HMODULE module = GetModuleHandleW(nullptr);
        HRSRC found = FindResourceW(module, wideName.c_str(), wideType.c_str());
        if (!found) return false;
        HGLOBAL loaded = LoadResource(module, found);
        out->data = static_cast<const uint8_t*>(LockResource(loaded));
        out->size = SizeofResource(module, found);
        return out->data != nullptr || out->size == 0;
    }

    bool RegistryKeyExists(const std::string& key) override {
        std::wstring wide;
        if (key.empty() || !WideFromCp932(key, &wide)) return false;
        RegistryKey opened;
        return RegOpenKeyExW(HKEY_CURRENT_USER, wide.c_str(), 0, KEY_READ, opened.out()) ==
               ERROR_SUCCESS;
    }

    uint32_t RegistryReadString(const std::string& key, const std::string& value,
                                std::string* out) override {
        std::wstring wideKey, wideValue;
        if (!WideFromCp932(key, &wideKey) || !WideFromCp932(value, &wideValue)) {
            return kErrorFileNotFound;
        }
        RegistryKey opened;
        LONG result = RegOpenKeyExW(HKEY_CURRENT_USER, wideKey.c_str(), 0, KEY_READ, opened.out());
        if (result != ERROR_SUCCESS) return static_cast<uint32_t>(result);
        DWORD bytes = 0;
        result =
            RegQueryValueExW(opened.get(), wideValue.c_str(), nullptr, nullptr, nullptr, &bytes);
        if (result != ERROR_SUCCESS) return static_cast<uint32_t>(result);
        std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
        DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        result = RegQueryValueExW(opened.get(), wideValue.c_str(), nullptr, nullptr,
                                  reinterpret_cast<BYTE*>(buffer.data()), &size);
        if (result != ERROR_SUCCESS) return static_cast<uint32_t>(result);
        size_t length = size / sizeof(wchar_t);
        while (length > 0 && buffer[length - 1] == L'\0') --length;
        if (!Cp932FromWide(buffer.data(), length, out)) return kErrorNoUnicodeTranslation;
        return 0;
    }

    uint32_t RegistryWriteString(const std::string& key, const std::string& value,
                                 const std::string& data) override {
        std::wstring wideKey, wideValue, wideData;
        if (!WideFromCp932(key, &wideKey) || !WideFromCp932(value, &wideValue) ||
            !WideFromCp932(data, &wideData)) {
            return kErrorNoUnicodeTranslation;
        }
        RegistryKey created;
        LONG result = RegCreateKeyExW(HKEY_CURRENT_USER, wideKey.c_str(), 0, nullptr, 0, KEY_WRITE,
                                      nullptr, created.out(), nullptr);
        if (result != ERROR_SUCCESS) return static_cast<uint32_t>(result);
        result = RegSetValueExW(created.get(), wideValue.c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(wideData.c_str()),
                                static_cast<DWORD>((wideData.size() + 1) * sizeof(wchar_t)));
        return static_cast<uint32_t>(result);
    }

    uint32_t RegistryDeleteKey(const std::string& key) override {
        std::wstring wide;
        if (key.empty() || !WideFromCp932(key, &wide)) return kErrorFileNotFound;
        // With a subkey named, the key itself goes too.
        return static_cast<uint32_t>(RegDeleteTreeW(HKEY_CURRENT_USER, wide.c_str()));
    }

    std::unique_ptr<IThread> StartThread(std::function<void()> body) override {
        auto* argument = new std::function<void()>(std::move(body));
        uintptr_t handle = _beginthreadex(nullptr, 0, ThreadEntry, argument, 0, nullptr);
        if (!handle) {
            delete argument;
            return nullptr;
        }
        return std::make_unique<Win32Thread>(reinterpret_cast<HANDLE>(handle));
    }

    std::unique_ptr<IRecursiveLock> NewLock() override { return std::make_unique<Win32Lock>(); }
    uint32_t CurrentThreadId() override { return GetCurrentThreadId(); }
    void SleepMs(uint32_t milliseconds) override { Sleep(milliseconds); }
    uint64_t MonotonicMs() override { return GetTickCount64(); }
};

}  // namespace

IPlatform& System() {
    static Win32Platform platform;
    return platform;
}

}  // namespace platform
