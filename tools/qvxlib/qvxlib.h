// qvxlib: inspect, build, check and extract the QVX libraries from scripts.
// Each library kind registers a KindHandler; main.cpp parses the command
// line and dispatches.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "toolkit/streams.h"
#include "toolkit/sysutils.h"

namespace qvxlib {

// Exit codes.
enum : int { kOk = 0, kFailed = 1, kUsage = 2 };

// Raised for command-line mistakes (exit 2, message on stderr).
struct UsageError {
    std::string message;
};

struct Args {
    std::string command;                 // info, roundtrip, extract, create
    std::vector<std::string> positional;  // after the command (create: kind first)
    std::map<std::string, std::vector<std::string>> options;  // --name value (repeatable)
    std::vector<std::string> flags;      // --json, --batch

    bool Flag(const std::string& f) const;
    std::optional<std::string> Option(const std::string& o) const;  // last given
    const std::vector<std::string>& Options(const std::string& o) const;
    int IntOption(const std::string& o, int def) const;  // UsageError when not a number
};

// One thing verify found wrong: in the file as a whole (index -1) or in
// the item at `index`, with the item's name when it is known.
struct Problem {
    std::string file;
    int index = -1;
    std::string name;
    std::string message;
};
using Problems = std::vector<Problem>;

struct KindHandler {
    std::string name;         // "hcl"
    std::string description;  // one line for --help
    // True when these first bytes (up to 64) are this kind's.
    std::function<bool(const std::vector<uint8_t>& head)> detect;
    std::function<int(const Args&, const std::string& file)> info;
    std::function<int(const Args&, const std::string& in, const std::string& out)> roundtrip;
    std::function<int(const Args&, const std::string& in, const std::string& dir)> extract;
    // create <kind> OUT INPUT...
    std::function<int(const Args&, const std::string& out, const std::vector<std::string>& inputs)> create;
    std::string createUsage;  // e.g. "create hcl OUT PICTURE... [--name N]..."
    // Loads the file through the library classes and decodes every item,
    // adding what is wrong to the list (file left for the caller to fill).
    std::function<void(const std::string& file, Problems& problems)> verify;
};

// Registration from kind_*.cpp: static const bool r = RegisterKind({...});
bool RegisterKind(KindHandler handler);
const std::vector<KindHandler>& Kinds();
const KindHandler* FindKind(const std::string& name);

// The first bytes (up to 64) of an input, and the kind they are, if any.
std::vector<uint8_t> ReadHead(const std::string& file);
const KindHandler* DetectKind(const std::vector<uint8_t>& head);
// "a sound library (.SDL)", "an intro screen library (.CRL)".
std::string WithArticle(const std::string& description);

// A message that already names what it is about ("FILE: ..."): passed on
// unchanged by outer About()s.
class ENamed : public tk::Exception {
public:
    using tk::Exception::Exception;
};

// The text of a failure: the library's own message; a system error that the
// run-time's table lacks by its system text.
std::string ErrorText(const std::exception& e);
// A libjpeg message number ("JPEG error #53") followed by libjpeg's text.
std::string WithJpegText(const std::string& message);
[[noreturn]] void RethrowAbout(const std::string& file, std::exception_ptr error);

// Runs fn; a failure comes out as "FILE: message", the library's own text
// at the end of the line.
template <class Fn>
decltype(auto) About(const std::string& file, Fn&& fn) {
    try {
        return fn();
    } catch (const UsageError&) {
        throw;
    } catch (...) {
        RethrowAbout(file, std::current_exception());
    }
}

// Runs `load` on FILE; when it fails, the message names the item where the
// file goes wrong as `walk` finds it ("FILE: image 3 "grass": what the walk
// saw: the library's own text").
void LoadNamingItem(const std::string& file, const char* item, const std::function<void()>& load,
                    const std::function<void(Problems&)>& walk);

// Saves OUT as every writer of the system saves (see tk::TFileSave; "-" is
// standard output), with what `write` puts into the stream.
void SaveOutput(const std::string& out, const std::function<void(tk::TStream&)>& write);

// A name from a file as tables and report lines show it: its text (UTF-8,
// or Latin-1 when it is not UTF-8) with control characters escaped.
std::string Shown(const std::string& nameBytes);
// Prints "<path>\n" for a file written, escaped as names are.
void PrintWritten(const std::string& path);
// "N images written to OUT".
void PrintCount(int count, const char* item, const std::string& out);

// A name made safe as a file name: letters, digits, '-', '_', '.', others '_';
// never empty, never "." or "..".
std::string SafeFileName(const std::string& name);
// "<index>_<safe name><ext>", unique by the index.
std::string ItemFileName(int index, const std::string& name, const std::string& ext);

// The commands that are not tied to one kind: palette (intro libraries'
// palettes to and from other tools' palette files) and verify.
int PaletteCommand(const Args& a);
int VerifyCommand(const Args& a);

std::string Sha256Hex(const void* data, size_t size);

// SHA-256 over data given in parts.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;
    void Update(const void* data, size_t size);
    std::string HexDigest();  // lower-case hex; once

private:
    struct Ctx;
    std::unique_ptr<Ctx> ctx_;
};

// Builds one JSON value in order and prints it as `{"key": value, ...}`.
// Strings that are not valid UTF-8 are shown through Latin-1, as item names
// are everywhere.
class Json {
public:
    Json();
    ~Json();
    Json& BeginObject();
    Json& EndObject();
    Json& BeginArray();
    Json& EndArray();
    Json& Key(const std::string& k);
    Json& Str(const std::string& s);
    Json& Int(int64_t v);
    Json& Bool(bool v);
    Json& Null();
    std::string Text() const;

private:
    struct Tree;
    std::unique_ptr<Tree> tree_;
};

// qvxlib form text|binary (form.cpp).
int FormCommand(const Args& a);
extern const char* kFormUsage;

// qvxlib render (render.cpp).
int RenderCommand(const Args& a);
extern const char* kRenderUsage;

}  // namespace qvxlib
