// qvxlib: command-line access to the QVX libraries.
#include <malloc.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>

#include "qvxlib.h"
#include "toolkit/bytes.h"
#include "toolkit/fileio.h"
#include "toolkit/names.h"
#include "toolkit/sysutils.h"

namespace qvxlib {
namespace {

const char* kMainHelp =
    "usage: qvxlib <command> [options]\n"
    "\n"
    "commands:\n"
    "  info FILE [--json] [--kind K]      describe a library\n"
    "  roundtrip FILE OUT [--kind K]      load through the library classes, save again\n"
    "  extract FILE DIR [--kind K]        write each item to DIR as a file of its own\n"
    "  create KIND OUT INPUT... [opts]    build a new library from files\n"
    "  verify FILE... [--json] [--kind K] load every library, decode every item\n"
    "  palette export|import ...          intro library palettes as .gpl/.pal/.act\n"
    "  form text|binary IN [OUT]          form data as text, text as form data\n"
    "  render IN.CRL OUT.GIF [opts]       play an intro library into an animated GIF\n"
    "\n"
    "The kind is found from the file's content; maps need --kind map.\n"
    "Any input or output may be a pipe, FIFO or device; - is standard input\n"
    "or output, and -- ends the options.\n"
    "Exit status: 0 success, 1 failure (one line, the last on stderr: the file,\n"
    "the item where there is one, then the library's message), 2 usage error.\n"
    "Each command takes --help.\n";

std::string KindList() {
    std::string s;
    for (auto& k : Kinds()) s += (s.empty() ? "" : "|") + k.name;
    return s;
}

void HelpInfo() {
    std::printf(
        "usage: qvxlib info FILE [--json] [--kind %s]\n"
        "Prints the library's items as a table, or with --json as one object\n"
        "{\"kind\", \"count\", \"items\": [...]} with the kind's own fields.\n",
        KindList().c_str());
}

void HelpRoundtrip() {
    std::printf(
        "usage: qvxlib roundtrip FILE OUT [--kind %s]\n"
        "Loads FILE through the library classes and saves it to OUT.\n",
        KindList().c_str());
}

void HelpExtract() {
    std::printf(
        "usage: qvxlib extract FILE DIR [--kind %s]\n"
        "Writes one file per item into DIR (created when missing), named\n"
        "<index>_<name>.<ext> from the item's name made safe for file names.\n",
        KindList().c_str());
}

void HelpCreate() {
    std::printf("usage:\n");
    for (auto& k : Kinds())
        if (k.create) std::printf("  qvxlib %s\n", k.createUsage.c_str());
}

void HelpVerify() {
    std::printf(
        "usage: qvxlib verify FILE... [--json] [--kind %s]\n"
        "Loads each library through the library classes and decodes every\n"
        "picture, slide and image. Prints one line per problem (file, item\n"
        "index and name, message), or with --json a list of objects\n"
        "{\"file\", \"index\", \"name\", \"message\"}; exits 1 if there was any.\n",
        KindList().c_str());
}

void HelpPalette() {
    std::printf(
        "usage: qvxlib palette export FILE.CRL OUT.{gpl,pal,act} [--format gpl|jasc|act|riff]\n"
        "       qvxlib palette import FILE.CRL IN.{gpl,pal,act} [OUT.CRL]\n"
        "Export writes the library palette's entries up to the last used one\n"
        "(.pal is JASC text; --format riff writes a RIFF palette). Import reads\n"
        "any of the four formats (told apart by content), replaces the palette\n"
        "from entry 0 and marks the entries the file defines as used; it saves\n"
        "to OUT.CRL, or back to FILE.CRL when OUT.CRL is not given.\n");
}

void HelpForm() {
    std::printf("%s", kFormUsage);
}

void HelpRender() { std::printf("%s", kRenderUsage); }

// Options that take a value; everything else starting with -- is a flag.
bool TakesValue(const std::string& o) {
    static const char* names[] = {"kind", "name", "transition", "speed", "hold", "width", "height",
                                  "palette", "format", "resource",
                                  "fps", "scale", "from", "to", "frames", "sheet"};
    for (auto* n : names)
        if (o == n) return true;
    return false;
}

bool IsFlag(const std::string& o) {
    return o == "json" || o == "batch" || o == "help" || o == "loop" || o == "once" || o == "plain";
}

Args Parse(int argc, char** argv) {
    Args a;
    if (argc < 2) throw UsageError{"no command given"};
    a.command = argv[1];
    if (a.command == "--help" || a.command == "-h" || a.command == "help") {
        a.flags.push_back("help");
        a.command.clear();
        return a;
    }
    bool optionsEnded = false;
    for (int i = 2; i < argc; ++i) {
        std::string s = argv[i];
        if (optionsEnded) {
            a.positional.push_back(s);
        } else if (s == "--") {
            optionsEnded = true;  // everything after it is a file, even "--odd.hcl"
        } else if (s.rfind("--", 0) == 0 && s.size() > 2) {
            std::string name = s.substr(2), value;
            bool inlineValue = false;
            if (auto eq = name.find('='); eq != std::string::npos) {
                value = name.substr(eq + 1);
                name = name.substr(0, eq);
                inlineValue = true;
            }
            if (TakesValue(name)) {
                if (!inlineValue) {
                    if (i + 1 >= argc) throw UsageError{"--" + name + " needs a value"};
                    value = argv[++i];
                }
                a.options[name].push_back(value);
            } else if (IsFlag(name) && !inlineValue) {
                a.flags.push_back(name);
            } else {
                throw UsageError{"unknown option --" + name};
            }
        } else if (s == "-h") {
            a.flags.push_back("help");
        } else {
            a.positional.push_back(s);
        }
    }
    return a;
}

const KindHandler& KindOf(const Args& a, const std::string& file) {
    if (auto k = a.Option("kind")) {
        const KindHandler* h = FindKind(*k);
        if (!h) throw UsageError{"unknown kind \"" + *k + "\" (kinds: " + KindList() + ")"};
        return *h;
    }
    std::vector<uint8_t> head;
    try {
        head = ReadHead(file);
    } catch (...) {
        RethrowAbout(file, std::current_exception());
    }
    if (const KindHandler* k = DetectKind(head)) return *k;
    throw tk::Exception(file + ": cannot tell the library kind; give --kind");
}

void Need(const Args& a, size_t n, const char* what) {
    if (a.positional.size() < n) throw UsageError{std::string("missing ") + what};
    if (a.command != "create" && a.positional.size() > n)
        throw UsageError{"unexpected argument \"" + a.positional[n] + "\""};
}

// Runs a kind's command on FILE; when it fails and the content says the
// file is of another kind than --kind named, the message says so.
template <class Fn>
int AsKind(const KindHandler& k, const std::string& file, Fn&& fn) {
    try {
        return fn();
    } catch (const ENamed&) {
        throw;
    } catch (const std::exception& e) {
        const KindHandler* found = nullptr;
        try {
            found = DetectKind(ReadHead(file));
        } catch (...) {
        }
        if (found && found != &k)
            throw ENamed(file + ": this is " + WithArticle(found->description) + ", not " +
                         WithArticle(k.description) + ": " + ErrorText(e));
        RethrowAbout(file, std::current_exception());
    }
}

int Info(const Args& a) {
    Need(a, 1, "FILE");
    const std::string& file = a.positional[0];
    const auto& k = KindOf(a, file);
    if (!k.info) throw UsageError{"info is not available for " + k.name};
    return AsKind(k, file, [&] { return k.info(a, file); });
}

int Roundtrip(const Args& a) {
    Need(a, 2, "FILE and OUT");
    const std::string& file = a.positional[0];
    const auto& k = KindOf(a, file);
    if (!k.roundtrip) throw UsageError{"roundtrip is not available for " + k.name};
    // Every picture lives until the save: carved from shared chunks on
    // huge pages, the whole library costs far fewer page faults than one
    // block at a time. (Commands whose blocks come and go keep malloc.)
    tk::TBytes::SetSharedChunks(true);
    return AsKind(k, file, [&] { return k.roundtrip(a, file, a.positional[1]); });
}

int Extract(const Args& a) {
    Need(a, 2, "FILE and DIR");
    const std::string& file = a.positional[0];
    const auto& k = KindOf(a, file);
    if (!k.extract) throw UsageError{"extract is not available for " + k.name};
    About(a.positional[1], [&] { std::filesystem::create_directories(a.positional[1]); });
    return AsKind(k, file, [&] { return k.extract(a, file, a.positional[1]); });
}

int Create(const Args& a) {
    if (a.positional.empty()) throw UsageError{"missing KIND (kinds: " + KindList() + ")"};
    const KindHandler* k = FindKind(a.positional[0]);
    if (!k || !k->create) throw UsageError{"cannot create kind \"" + a.positional[0] + "\""};
    if (a.positional.size() < 2) throw UsageError{"missing OUT"};
    std::vector<std::string> inputs(a.positional.begin() + 2, a.positional.end());
    return k->create(a, a.positional[1], inputs);
}

// The commands: name, what runs it, its --help. A command added here gets the option
// parsing ("--", "-" for standard input and output), --help and the error
// handling of main() with nothing more.
struct Command {
    const char* name;
    int (*run)(const Args&);
    void (*help)();
};
const Command kCommands[] = {
    {"info", Info, HelpInfo},
    {"roundtrip", Roundtrip, HelpRoundtrip},
    {"extract", Extract, HelpExtract},
    {"create", Create, HelpCreate},
    {"verify", VerifyCommand, HelpVerify},
    {"palette", PaletteCommand, HelpPalette},
    {"form", FormCommand, HelpForm},
    {"render", RenderCommand, HelpRender},
};

int Run(const Args& a) {
    if (a.command.empty()) {
        std::printf("%s", kMainHelp);
        return kOk;
    }
    for (const Command& c : kCommands) {
        if (a.command != c.name) continue;
        if (a.Flag("help")) {
            c.help();
            return kOk;
        }
        return c.run(a);
    }
    throw UsageError{"unknown command \"" + a.command + "\""};
}

}  // namespace
}  // namespace qvxlib

int main(int argc, char** argv) {
    using namespace qvxlib;
    // Libraries are read item after item of similar sizes: freed memory is
    // kept for the next item rather than handed back to the system and
    // faulted in again, which would cost more than the reading itself.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    mallopt(M_TOP_PAD, 16 << 20);
    // A reader that goes away (| head) is a write error, reported as one,
    // not a signal; "-" is standard input or output; pipes are read once.
    std::signal(SIGPIPE, SIG_IGN);
    tk::SetToolStreams(true);
    int code = kFailed;
    std::string error;
    try {
        code = Run(Parse(argc, argv));
    } catch (const UsageError& e) {
        std::fprintf(stderr, "qvxlib: %s\n(run qvxlib --help for usage)\n",
                     tk::ShownText(e.message).c_str());
        return kUsage;
    } catch (const std::bad_alloc&) {
        error = tk::msg::SOutOfMemory;
    } catch (const std::exception& e) {
        error = ErrorText(e);
    } catch (...) {
        error = "Unknown error";
    }
    // What was printed must have reached standard output.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        if (error.empty()) error = std::string("standard output: ") + std::strerror(errno);
        code = kFailed;
    }
    if (!error.empty()) {
        std::fprintf(stderr, "%s\n", tk::ShownText(error).c_str());
        return kFailed;
    }
    return code;
}
