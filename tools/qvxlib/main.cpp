// qvxlib: command-line access to the QVX libraries.
#include <malloc.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>

#include "qvxlib.h"
#include "toolkit/bytes.h"
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
    "Exit status: 0 success, 1 the library reported an error (its message is\n"
    "the last line on stderr), 2 usage error. Each command takes --help.\n";

std::string KindList() {
    std::string s;
    for (auto& k : Kinds()) s += (s.empty() ? "" : "|") + k.name;
    return s;
}

void CommandHelp(const std::string& cmd) {
    if (cmd == "info") {
        std::printf(
            "usage: qvxlib info FILE [--json] [--kind %s]\n"
            "Prints the library's items as a table, or with --json as one object\n"
            "{\"kind\", \"count\", \"items\": [...]} with the kind's own fields.\n",
            KindList().c_str());
    } else if (cmd == "roundtrip") {
        std::printf(
            "usage: qvxlib roundtrip FILE OUT [--kind %s]\n"
            "Loads FILE through the library classes and saves it to OUT.\n",
            KindList().c_str());
    } else if (cmd == "extract") {
        std::printf(
            "usage: qvxlib extract FILE DIR [--kind %s]\n"
            "Writes one file per item into DIR (created when missing), named\n"
            "<index>_<name>.<ext> from the item's name made safe for file names.\n",
            KindList().c_str());
    } else if (cmd == "create") {
        std::printf("usage:\n");
        for (auto& k : Kinds())
            if (k.create) std::printf("  qvxlib %s\n", k.createUsage.c_str());
    } else if (cmd == "verify") {
        std::printf(
            "usage: qvxlib verify FILE... [--json] [--kind %s]\n"
            "Loads each library through the library classes and decodes every\n"
            "picture, slide and image. Prints one line per problem (file, item\n"
            "index and name, message), or with --json a list of objects\n"
            "{\"file\", \"index\", \"name\", \"message\"}; exits 1 if there was any.\n",
            KindList().c_str());
    } else if (cmd == "palette") {
        std::printf(
            "usage: qvxlib palette export FILE.CRL OUT.{gpl,pal,act} [--format gpl|jasc|act|riff]\n"
            "       qvxlib palette import FILE.CRL IN.{gpl,pal,act} [OUT.CRL]\n"
            "Export writes the library palette's entries up to the last used one\n"
            "(.pal is JASC text; --format riff writes a RIFF palette). Import reads\n"
            "any of the four formats (told apart by content), replaces the palette\n"
            "from entry 0 and marks the entries the file defines as used; it saves\n"
            "to OUT.CRL, or back to FILE.CRL when OUT.CRL is not given.\n");
    } else if (cmd == "form") {
        std::printf("%s", kFormUsage);
    } else if (cmd == "render") {
        std::printf("%s", kRenderUsage);
    }
}

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
    for (int i = 2; i < argc; ++i) {
        std::string s = argv[i];
        if (s.rfind("--", 0) == 0 && s.size() > 2) {
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

std::vector<uint8_t> Head(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw tk::EFOpenError(tk::Format(tk::msg::SFOpenError, file.c_str()));
    std::vector<uint8_t> head(64);
    in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(in.gcount()));
    return head;
}

const KindHandler& KindOf(const Args& a, const std::string& file) {
    if (auto k = a.Option("kind")) {
        const KindHandler* h = FindKind(*k);
        if (!h) throw UsageError{"unknown kind \"" + *k + "\" (kinds: " + KindList() + ")"};
        return *h;
    }
    auto head = Head(file);
    for (auto& k : Kinds())
        if (k.detect && k.detect(head)) return k;
    throw tk::Exception("Cannot tell the library kind of " + file + "; give --kind");
}

void Need(const Args& a, size_t n, const char* what) {
    if (a.positional.size() < n) throw UsageError{std::string("missing ") + what};
    if (a.command != "create" && a.positional.size() > n)
        throw UsageError{"unexpected argument \"" + a.positional[n] + "\""};
}

int Run(const Args& a) {
    if (a.command.empty()) {
        std::printf("%s", kMainHelp);
        return kOk;
    }
    if (a.Flag("help")) {
        if (a.command != "info" && a.command != "roundtrip" && a.command != "extract" && a.command != "create" &&
            a.command != "verify" && a.command != "palette" && a.command != "form" && a.command != "render")
            throw UsageError{"unknown command \"" + a.command + "\""};
        CommandHelp(a.command);
        return kOk;
    }
    if (a.command == "info") {
        Need(a, 1, "FILE");
        const auto& k = KindOf(a, a.positional[0]);
        if (!k.info) throw UsageError{"info is not available for " + k.name};
        return k.info(a, a.positional[0]);
    }
    if (a.command == "roundtrip") {
        Need(a, 2, "FILE and OUT");
        const auto& k = KindOf(a, a.positional[0]);
        if (!k.roundtrip) throw UsageError{"roundtrip is not available for " + k.name};
        // Every picture lives until the save: carved from shared chunks on
        // huge pages, the whole library costs far fewer page faults than one
        // block at a time. (Commands whose blocks come and go keep malloc.)
        tk::TBytes::SetSharedChunks(true);
        return k.roundtrip(a, a.positional[0], a.positional[1]);
    }
    if (a.command == "extract") {
        Need(a, 2, "FILE and DIR");
        const auto& k = KindOf(a, a.positional[0]);
        if (!k.extract) throw UsageError{"extract is not available for " + k.name};
        std::filesystem::create_directories(a.positional[1]);
        return k.extract(a, a.positional[0], a.positional[1]);
    }
    if (a.command == "create") {
        if (a.positional.empty()) throw UsageError{"missing KIND (kinds: " + KindList() + ")"};
        const KindHandler* k = FindKind(a.positional[0]);
        if (!k || !k->create) throw UsageError{"cannot create kind \"" + a.positional[0] + "\""};
        if (a.positional.size() < 2) throw UsageError{"missing OUT"};
        std::vector<std::string> inputs(a.positional.begin() + 2, a.positional.end());
        return k->create(a, a.positional[1], inputs);
    }
    if (a.command == "verify") return VerifyCommand(a);
    if (a.command == "palette") return PaletteCommand(a);
    if (a.command == "form") return FormCommand(a);
    if (a.command == "render") return RenderCommand(a);
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
    try {
        return Run(Parse(argc, argv));
    } catch (const UsageError& e) {
        std::fprintf(stderr, "qvxlib: %s\n(run qvxlib --help for usage)\n", e.message.c_str());
        return kUsage;
    } catch (const tk::Exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s\n", e.Message().c_str());
        return kFailed;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "%s\n", tk::msg::SOutOfMemory);
        return kFailed;
    } catch (const std::filesystem::filesystem_error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return kFailed;
    }
}
