#include "tools/patchkit/build_command.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <system_error>

#include "platform/cp932.h"
#include "platform/pe_resources.h"
#include "platform/process.h"

// The folder under which each cross build keeps its kit: <root>/<arch>/kit.
// CMake points it at the source tree's build folder.
#ifndef PATCHKIT_KIT_ROOT
#define PATCHKIT_KIT_ROOT ""
#endif

namespace fs = std::filesystem;

namespace {
// Where the script lives among the resources.
const char kScriptName[] = "SCRIPT";
const char kScriptType[] = "PATCH_SCR";
}  // namespace

const char kBuildUsage[] =
    "usage: patchkit build --script FILE --payloads DIR --output OUT.exe\n"
    "                      [--arch i686|x86_64] [--kit DIR]\n"
    "\n"
    "Builds a patch executable: the Windows patch program with the script and\n"
    "the payloads as its resources.\n"
    "\n"
    "  --script FILE    the patch script. UTF-8 is converted to CP932; a file\n"
    "                   that is not UTF-8 is taken as CP932 as it is. LF line\n"
    "                   ends become CR LF. The last line needs a line end.\n"
    "  --payloads DIR   every file DIR/TYPE/NAME becomes resource NAME of type\n"
    "                   TYPE (the script names them, e.g. DIR/PATCH_SCR/ENTRY_A).\n"
    "                   NAME and TYPE: ASCII letters, digits and _, not starting\n"
    "                   with a digit, and not a resource compiler word (ICON,\n"
    "                   RCDATA, BEGIN, ...). Letter case does not tell two\n"
    "                   payloads apart; SCRIPT of type PATCH_SCR is the script's.\n"
    "  --output OUT.exe the patch to write; replaced only when the build succeeds\n"
    "  --arch ARCH      i686 (default, the shipped program) or x86_64\n"
    "  --kit DIR        the Windows program's kit (libpatch_program.a, program.rc,\n"
    "                   link.txt). Default: $PATCHKIT_KIT_I686 or\n"
    "                   $PATCHKIT_KIT_X86_64, else the cross build's kit folder\n"
    "                   (made by ./dev build i686 or ./dev build x86_64).\n"
    "\n"
    "Needs MinGW-w64: <triple>-windres and <triple>-g++ on PATH. The result is\n"
    "read back and checked before it replaces OUT.exe.\n"
    "Exit codes: 0 built, 2 not built (nothing written).\n";

namespace patchkit {

namespace {

// The words that the resource compiler reads as its own (written in
// capitals): a name or type spelled so would fail or change meaning.
const char* const kResourceWords[] = {
    "ACCELERATORS",
    "ALT",
    "ANICURSOR",
    "ANIICON",
    "ASCII",
    "AUTO3STATE",
    "AUTOCHECKBOX",
    "AUTORADIOBUTTON",
    "BEDIT",
    "BEGIN",
    "BITMAP",
    "BLOCK",
    "BUTTON",
    "CAPTION",
    "CHARACTERISTICS",
    "CHECKBOX",
    "CHECKED",
    "CLASS",
    "COMBOBOX",
    "CONTROL",
    "CTEXT",
    "CURSOR",
    "DEFPUSHBUTTON",
    "DIALOG",
    "DIALOGEX",
    "DISCARDABLE",
    "DLGINCLUDE",
    "DLGINIT",
    "EDITTEXT",
    "END",
    "EXSTYLE",
    "FILEFLAGS",
    "FILEFLAGSMASK",
    "FILEOS",
    "FILESUBTYPE",
    "FILETYPE",
    "FILEVERSION",
    "FIXED",
    "FONT",
    "FONTDIR",
    "GRAYED",
    "GROUPBOX",
    "HEDIT",
    "HELP",
    "HTML",
    "ICON",
    "IEDIT",
    "IMPURE",
    "INACTIVE",
    "LANGUAGE",
    "LISTBOX",
    "LOADONCALL",
    "LTEXT",
    "MANIFEST",
    "MENU",
    "MENUBARBREAK",
    "MENUBREAK",
    "MENUEX",
    "MENUITEM",
    "MESSAGETABLE",
    "MOVEABLE",
    "NOINVERT",
    "NOT",
    "OWNERDRAW",
    "PLUGPLAY",
    "POPUP",
    "PRELOAD",
    "PRODUCTVERSION",
    "PURE",
    "PUSHBOX",
    "PUSHBUTTON",
    "RADIOBUTTON",
    "RCDATA",
    "RC_INVOKED",
    "RTEXT",
    "SCROLLBAR",
    "SEPARATOR",
    "SHIFT",
    "STATE3",
    "STRINGTABLE",
    "STYLE",
    "TOOLBAR",
    "USERBUTTON",
    "VALUE",
    "VERSION",
    "VERSIONINFO",
    "VIRTKEY",
    "VXD",
};

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    }
    return text;
}

bool IsNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool IsValidUtf8(const std::string& text) {
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t extra;
        uint32_t min, code;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1, min = 0x80, code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2, min = 0x800, code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3, min = 0x10000, code = c & 0x07;
        } else {
            return false;
        }
        if (text.size() - i <= extra) return false;
        for (size_t k = 1; k <= extra; ++k) {
            unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += extra + 1;
    }
    return true;
}

bool HasNonAscii(const std::string& text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// Converts line by line so that an error can name its line.
bool ConvertUtf8Script(const std::string& utf8, std::string* cp932, std::string* error) {
    cp932->clear();
    size_t start = 0;
    for (int line = 1; start < utf8.size(); ++line) {
        size_t end = utf8.find('\n', start);
        end = end == std::string::npos ? utf8.size() : end + 1;
        std::string piece;
        if (!platform::Utf8ToCp932(utf8.substr(start, end - start), &piece)) {
            std::string text = utf8.substr(start, end - start);
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
            *error = "line " + std::to_string(line) +
                     " of the script has a character that CP932 lacks: " + text;
            return false;
        }
        *cp932 += piece;
        start = end;
    }
    return true;
}

}  // namespace

bool PrepareScript(const std::string& raw, std::string* cp932, std::vector<std::string>* warnings,
                   std::string* error) {
    std::string text = raw;
    std::string converted;
    if (IsValidUtf8(text)) {
        if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
        if (HasNonAscii(text)) {
            if (!ConvertUtf8Script(text, &converted, error)) return false;
        } else {
            converted = text;
        }
    } else {
        converted = text;
        std::string check;
        if (!platform::Cp932ToUtf8(converted, &check)) {
            warnings->push_back(
                "the script is neither UTF-8 nor clean CP932; its bytes are taken as they are");
        }
    }
    if (converted.empty()) {
        *error = "the script is empty";
        return false;
    }
    // A line feed byte is never the second byte of a CP932 character.
    cp932->clear();
    cp932->reserve(converted.size() + converted.size() / 16);
    for (size_t i = 0; i < converted.size(); ++i) {
        if (converted[i] == '\n' && (i == 0 || converted[i - 1] != '\r')) cp932->push_back('\r');
        cp932->push_back(converted[i]);
    }
    if (cp932->back() != '\n') {
        size_t start = cp932->rfind('\n');
        start = start == std::string::npos ? 0 : start + 1;
        std::string last = cp932->substr(start);
        if (last.find_first_not_of(" \t\r") != std::string::npos) {
            size_t line = static_cast<size_t>(std::count(cp932->begin(), cp932->end(), '\n')) + 1;
            warnings->push_back(
                "the script's last line (line " + std::to_string(line) +
                ") has no line end, so the patch ignores it: " + platform::DisplayUtf8(last));
        }
    }
    return true;
}

bool CheckPayloadName(const std::string& text, std::string* why) {
    if (text.empty() || !std::all_of(text.begin(), text.end(), IsNameChar)) {
        *why = "a resource name or type takes only ASCII letters, digits and _";
        return false;
    }
    if (text[0] >= '0' && text[0] <= '9') {
        *why = "a resource name or type starting with a digit would be read as a number";
        return false;
    }
    std::string upper = Upper(text);
    for (const char* word : kResourceWords) {
        if (upper == word) {
            *why = upper + " is a word of the resource compiler";
            return false;
        }
    }
    return true;
}

bool CollectPayloads(const fs::path& dir, std::vector<PayloadFile>* out, std::string* error) {
    out->clear();
    std::error_code ec;
    fs::file_status status = fs::status(dir, ec);
    if (!fs::exists(status)) {
        *error = "the payload folder " + dir.string() + " does not exist";
        return false;
    }
    if (!fs::is_directory(status)) {
        *error = "the payload folder " + dir.string() + " is not a folder";
        return false;
    }
    auto cannotRead = [&](const fs::path& what, const std::error_code& why) {
        *error = "cannot read the payload folder " + what.string() + ": " + why.message();
        return false;
    };

    std::map<std::string, fs::path> seen;  // TYPE/NAME in capitals -> file
    fs::directory_iterator types(dir, ec);
    if (ec) return cannotRead(dir, ec);
    for (; types != fs::directory_iterator(); types.increment(ec)) {
        const fs::path typeDir = types->path();
        const std::string type = typeDir.filename().string();
        std::string why;
        if (!types->is_directory(ec)) {
            *error = typeDir.string() + " is not a folder: payloads go in " + dir.string() +
                     "/TYPE/NAME";
            return false;
        }
        if (!CheckPayloadName(type, &why)) {
            *error = "the payload type " + type + " (" + typeDir.string() + "): " + why;
            return false;
        }
        fs::directory_iterator names(typeDir, ec);
        if (ec) return cannotRead(typeDir, ec);
        for (; names != fs::directory_iterator(); names.increment(ec)) {
            const fs::path file = names->path();
            const std::string name = file.filename().string();
            if (!names->is_regular_file(ec)) {
                *error = file.string() + " is not a regular file: payloads go in " + dir.string() +
                         "/TYPE/NAME";
                return false;
            }
            if (!CheckPayloadName(name, &why)) {
                *error = "the payload name " + name + " (" + file.string() + "): " + why;
                return false;
            }
            const std::string key = Upper(type) + "/" + Upper(name);
            if (key == std::string(kScriptType) + "/" + kScriptName) {
                *error = file.string() + ": SCRIPT of type PATCH_SCR is the script's place; " +
                         "give the script with --script";
                return false;
            }
            auto [where, added] = seen.emplace(key, file);
            if (!added) {
                *error = "the payloads " + where->second.string() + " and " + file.string() +
                         " differ only in letter case, which Windows does not tell apart";
                return false;
            }
            if (!std::ifstream(file, std::ios::binary)) {
                *error = "cannot read the payload " + file.string();
                return false;
            }
            out->push_back(PayloadFile{type, name, file});
        }
        if (ec) return cannotRead(typeDir, ec);
    }
    if (ec) return cannotRead(dir, ec);
    if (out->empty()) {
        *error = "the payload folder " + dir.string() +
                 " holds no payload: put each one in DIR/TYPE/NAME (e.g. DIR/PATCH_SCR/ENTRY_A)";
        return false;
    }
    std::sort(out->begin(), out->end(), [](const PayloadFile& a, const PayloadFile& b) {
        return std::make_pair(Upper(a.type), Upper(a.name)) <
               std::make_pair(Upper(b.type), Upper(b.name));
    });
    return true;
}

bool SplitArguments(const std::string& line, std::vector<std::string>* out, std::string* error) {
    out->clear();
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (quote == '\'') {
            if (c == '\'') {
                quote = 0;
            } else {
                word += c;
            }
        } else if (c == '\\') {
            if (i + 1 >= line.size()) {
                *error = "a backslash ends the line";
                return false;
            }
            word += line[++i];
            inWord = true;
        } else if (quote == '"') {
            if (c == '"') {
                quote = 0;
            } else {
                word += c;
            }
        } else if (c == '\'' || c == '"') {
            quote = c;
            inWord = true;
        } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (inWord) out->push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quote) {
        *error = std::string("a ") + quote + " quote is not closed";
        return false;
    }
    if (inWord) out->push_back(word);
    return true;
}

}  // namespace patchkit

namespace {

using patchkit::PayloadFile;

struct BuildOptions {
    std::string script;
    std::string payloads;
    std::string output;
    std::string arch = "i686";
    std::string kit;
};

struct Arch {
    const char* name;
    const char* triple;
    const char* kitVariable;
    uint16_t machine;  // the PE header's machine field
};

const Arch kArches[] = {
    {"i686", "i686-w64-mingw32", "PATCHKIT_KIT_I686", 0x014C},
    {"x86_64", "x86_64-w64-mingw32", "PATCHKIT_KIT_X86_64", 0x8664},
};

// A failed build: the message goes to stderr, the exit code is kBuildFailed.
struct BuildError {
    std::string message;
};

bool ParseArgs(const std::vector<std::string>& args, BuildOptions* options, std::string* error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string* target = nullptr;
        if (arg == "--script") {
            target = &options->script;
        } else if (arg == "--payloads") {
            target = &options->payloads;
        } else if (arg == "--output") {
            target = &options->output;
        } else if (arg == "--arch") {
            target = &options->arch;
        } else if (arg == "--kit") {
            target = &options->kit;
        } else {
            *error =
                (!arg.empty() && arg[0] == '-' ? "unknown option " : "unexpected argument ") + arg;
            return false;
        }
        if (i + 1 >= args.size() || args[i + 1].empty()) {
            *error = arg + " needs a value";
            return false;
        }
        *target = args[++i];
    }
    if (options->script.empty()) {
        *error = "no --script given";
    } else if (options->payloads.empty()) {
        *error = "no --payloads given";
    } else if (options->output.empty()) {
        *error = "no --output given";
    }
    return error->empty();
}

std::string ReadWholeFile(const fs::path& path, const char* what) {
    std::error_code ec;
    fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status)) {
        throw BuildError{std::string("the ") + what + " " + path.string() + " does not exist"};
    }
    if (fs::is_directory(status)) {
        throw BuildError{std::string("the ") + what + " " + path.string() + " is a folder"};
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) throw BuildError{std::string("cannot read the ") + what + " " + path.string()};
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw BuildError{std::string("cannot read the ") + what + " " + path.string()};
    return bytes;
}

void WriteWholeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw BuildError{"cannot write " + path.string()};
}

// A path inside a quoted resource-script string.
std::string RcString(const fs::path& path) {
    std::string text = path.string();
    std::string out = "\"";
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20) {
            throw BuildError{"the path " + text + " has a control character"};
        }
        if (c == '"') out += '"';
        if (c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string RandomTag() {
    std::random_device device;
    std::ostringstream text;
    text << std::hex << device() << device();
    return text.str();
}

// The build's own folders and files: removed when the build ends, the
// temporary output too unless it was put in place.
class Scratch {
public:
    Scratch() {
        std::error_code ec;
        fs::path base = fs::temp_directory_path(ec);
        if (ec) base = "/tmp";
        for (int attempt = 0; attempt < 100 && dir_.empty(); ++attempt) {
            fs::path candidate = base / ("patchkit-build-" + RandomTag());
            if (fs::create_directory(candidate, ec)) dir_ = candidate;
        }
        if (dir_.empty()) throw BuildError{"cannot make a temporary folder in " + base.string()};
    }
    ~Scratch() {
        std::error_code ec;
        if (!output_.empty()) fs::remove(output_, ec);
        fs::remove_all(dir_, ec);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    const fs::path& dir() const { return dir_; }
    // A name beside `final` for the output until it is complete (the same
    // file system, so that the last rename replaces it at once).
    fs::path OutputBeside(const fs::path& final) {
        output_ = final.parent_path() /
                  ("." + final.filename().string() + "." + RandomTag() + ".tmp.exe");
        return output_;
    }
    void KeepOutput() { output_.clear(); }

private:
    fs::path dir_;
    fs::path output_;
};

fs::path ResolveKit(const BuildOptions& options, const Arch& arch) {
    fs::path kit;
    std::string from;
    if (!options.kit.empty()) {
        kit = options.kit;
        from = "--kit";
    } else if (const char* env = std::getenv(arch.kitVariable); env && *env) {
        kit = env;
        from = arch.kitVariable;
    } else if (*PATCHKIT_KIT_ROOT) {
        kit = fs::path(PATCHKIT_KIT_ROOT) / arch.name / "kit";
        from = "the default";
    } else {
        throw BuildError{std::string("no kit given: use --kit DIR or set ") + arch.kitVariable};
    }
    std::error_code ec;
    kit = fs::absolute(kit, ec);
    for (const char* file : {"link.txt", "program.rc", "libpatch_program.a"}) {
        if (!fs::is_regular_file(kit / file, ec)) {
            throw BuildError{"no " + std::string(arch.name) + " kit in " + kit.string() + " (" +
                             from + "): " + file + " is missing. `./dev build " + arch.name +
                             "` makes it."};
        }
    }
    return kit;
}

std::string FindTool(const Arch& arch, std::initializer_list<const char*> suffixes) {
    for (const char* suffix : suffixes) {
        std::string path = platform::FindOnPath(std::string(arch.triple) + suffix);
        if (!path.empty()) return path;
    }
    throw BuildError{std::string(arch.triple) + *suffixes.begin() +
                     " is not on PATH: install MinGW-w64 (./dev setup does)"};
}

void Run(const std::vector<std::string>& argv, const fs::path& workingDir, const char* step) {
    platform::ProcessResult result = platform::RunProcess(argv, workingDir.string());
    if (!result.started) throw BuildError{std::string(step) + ": " + result.error};
    if (result.exitCode != 0) {
        std::string command;
        for (const std::string& arg : argv) command += (command.empty() ? "" : " ") + arg;
        std::string message = std::string(step) + " failed (exit " +
                              std::to_string(result.exitCode) + "): " + command + "\n" +
                              result.output;
        while (!message.empty() && message.back() == '\n') message.pop_back();
        throw BuildError{message};
    }
}

uint16_t MachineOf(const std::string& image) {
    auto read16 = [&](size_t at) -> uint16_t {
        return static_cast<uint16_t>(static_cast<unsigned char>(image[at]) |
                                     static_cast<unsigned char>(image[at + 1]) << 8);
    };
    if (image.size() < 0x40 || image.compare(0, 2, "MZ") != 0) return 0;
    size_t pe = read16(0x3C) | static_cast<size_t>(read16(0x3E)) << 16;
    if (pe > image.size() || image.size() - pe < 6 ||
        image.compare(pe, 4, std::string("PE\0\0", 4))) {
        return 0;
    }
    return read16(pe + 4);
}

// Reads the built image back: the right machine, and every resource there
// with the bytes it was built from.
void Verify(const fs::path& exe, const Arch& arch, const std::string& script,
            const std::vector<PayloadFile>& payloads) {
    std::string image = ReadWholeFile(exe, "built patch");
    if (MachineOf(image) != arch.machine) {
        throw BuildError{"the linked file is not a " + std::string(arch.name) +
                         " Windows executable: is the kit for another arch?"};
    }
    std::string error;
    auto resources = platform::PeResources::Parse(reinterpret_cast<const uint8_t*>(image.data()),
                                                  image.size(), &error);
    if (!resources) throw BuildError{"the built patch cannot be read back: " + error};
    auto check = [&](const std::string& name, const std::string& type, const std::string& bytes) {
        platform::Payload found;
        if (!resources->Find(name, type, &found)) {
            throw BuildError{"the built patch lacks resource " + name + " of type " + type};
        }
        if (found.size != bytes.size() ||
            !std::equal(bytes.begin(), bytes.end(), found.data,
                        [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; })) {
            throw BuildError{"resource " + name + " of type " + type +
                             " in the built patch differs from its source"};
        }
    };
    check(kScriptName, kScriptType, script);
    for (const PayloadFile& payload : payloads) {
        check(payload.name, payload.type, ReadWholeFile(payload.path, "payload"));
    }
}

int Build(const BuildOptions& options) {
    const Arch* arch = nullptr;
    for (const Arch& candidate : kArches) {
        if (options.arch == candidate.name) arch = &candidate;
    }
    if (!arch) throw BuildError{"unknown --arch " + options.arch + ": i686 or x86_64"};

    std::string error;
    std::string script;
    std::vector<std::string> warnings;
    if (!patchkit::PrepareScript(ReadWholeFile(options.script, "script"), &script, &warnings,
                                 &error)) {
        throw BuildError{options.script + ": " + error};
    }
    for (const std::string& warning : warnings) {
        std::cerr << "patchkit build: warning: " << options.script << ": " << warning << '\n';
    }

    std::vector<PayloadFile> payloads;
    if (!patchkit::CollectPayloads(options.payloads, &payloads, &error)) throw BuildError{error};

    std::error_code ec;
    const fs::path output = fs::absolute(options.output, ec);
    if (fs::is_directory(output, ec)) {
        throw BuildError{"the output " + output.string() + " is a folder"};
    }
    if (!fs::is_directory(output.parent_path(), ec)) {
        throw BuildError{"the output's folder " + output.parent_path().string() +
                         " does not exist"};
    }

    const fs::path kit = ResolveKit(options, *arch);
    std::vector<std::string> linkArgs;
    if (!patchkit::SplitArguments(ReadWholeFile(kit / "link.txt", "kit's link line"), &linkArgs,
                                  &error)) {
        throw BuildError{(kit / "link.txt").string() + ": " + error};
    }
    const std::string windres = FindTool(*arch, {"-windres"});
    const std::string gxx = FindTool(*arch, {"-g++-posix", "-g++"});

    Scratch scratch;
    const fs::path scriptFile = scratch.dir() / "script.txt";
    WriteWholeFile(scriptFile, script);

    // Names and types are written bare: the resource compiler joins a quoted
    // name to the file name string before it. Macros that could spell them
    // (the kit's, the preprocessor's own) are undefined first.
    std::ostringstream rc;
    rc << "#include \"program.rc\"\n";
    std::set<std::string> words = {kScriptName, kScriptType};
    for (const PayloadFile& payload : payloads) {
        words.insert(payload.type);
        words.insert(payload.name);
    }
    for (const std::string& word : words) rc << "#undef " << word << '\n';
    rc << kScriptName << ' ' << kScriptType << ' ' << RcString(scriptFile) << '\n';
    for (const PayloadFile& payload : payloads) {
        rc << payload.name << ' ' << payload.type << ' ' << RcString(fs::absolute(payload.path, ec))
           << '\n';
    }
    WriteWholeFile(scratch.dir() / "patch.rc", rc.str());

    const fs::path objects = scratch.dir() / "resources.o";
    Run({windres, "-c", "65001", "--include-dir=" + kit.string(), "-i", "patch.rc", "-o",
         objects.string()},
        scratch.dir(), "the resource compiler");

    const fs::path temporary = scratch.OutputBeside(output);
    std::vector<std::string> link = {gxx, "-o", temporary.string(), objects.string()};
    link.insert(link.end(), linkArgs.begin(), linkArgs.end());
    Run(link, kit, "the linker");

    Verify(temporary, *arch, script, payloads);
    fs::rename(temporary, output, ec);
    if (ec) throw BuildError{"cannot put the patch at " + output.string() + ": " + ec.message()};
    scratch.KeepOutput();

    std::cout << "built " << output.string() << ": " << arch->name << ", "
              << fs::file_size(output, ec) << " bytes, " << payloads.size()
              << (payloads.size() == 1 ? " payload" : " payloads") << '\n';
    return kBuildDone;
}

}  // namespace

int BuildCommand(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::cout << kBuildUsage;
            return kBuildDone;
        }
    }
    BuildOptions options;
    std::string error;
    if (!ParseArgs(args, &options, &error)) {
        std::cerr << "patchkit build: " << error << "\n\n" << kBuildUsage;
        return kBuildFailed;
    }
    try {
        return Build(options);
    } catch (const BuildError& failure) {
        std::cerr << "patchkit build: " << failure.message << '\n';
    } catch (const std::exception& failure) {
        std::cerr << "patchkit build: " << failure.what() << '\n';
    }
    return kBuildFailed;
}
