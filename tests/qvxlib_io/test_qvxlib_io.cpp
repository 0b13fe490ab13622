// qvxlib where its inputs and outputs live: pipes, FIFOs, devices, "-",
// odd paths. No run may end by a signal; every failure is one line.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../qvxlib_hcl/runtool.h"

namespace fs = std::filesystem;
using tooltest::Quote;
using tooltest::Slurp;

namespace {

struct Shell {
    int status = -1;  // exit status, or 128 + signal
    std::string out, err;
    std::string LastErrLine() const { return tooltest::Result{status, out, err}.LastErrLine(); }
};

class QvxlibIo : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = (fs::temp_directory_path() /
                ("qvxlib_io_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name()))
                   .string();
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string P(const std::string& name) const { return dir_ + "/" + name; }

    // Runs a bash command line in the test's folder; $Q is qvxlib.
    Shell Sh(const std::string& line) const {
        static int n = 0;
        const std::string out = P("sh.out" + std::to_string(n)),
                          err = P("sh.err" + std::to_string(n++));
        const std::string cmd = "cd " + Quote(dir_) + " && Q=" + Quote(tooltest::ToolPath()) +
                                " bash -c " + Quote(line) + " >" + Quote(out) + " 2>" + Quote(err) +
                                " </dev/null";
        const int st = std::system(cmd.c_str());
        Shell r;
        r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
        r.out = Slurp(out);
        r.err = Slurp(err);
        return r;
    }
    void Write(const std::string& name, const std::vector<uint8_t>& b) const {
        std::ofstream(P(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(b.data()), b.size());
    }

    // One valid input of every kind the commands read.
    void MakeInputs() {
        // An 8-bit bitmap, 3 x 2, four colours.
        std::vector<uint8_t> bmp = {'B', 'M'};
        auto put32 = [](std::vector<uint8_t>& b, uint32_t v) {
            for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
        };
        auto put16 = [](std::vector<uint8_t>& b, uint16_t v) {
            b.push_back(static_cast<uint8_t>(v));
            b.push_back(static_cast<uint8_t>(v >> 8));
        };
        put32(bmp, 14 + 40 + 16 + 8);
        put32(bmp, 0);
        put32(bmp, 14 + 40 + 16);
        put32(bmp, 40), put32(bmp, 3), put32(bmp, 2), put16(bmp, 1), put16(bmp, 8);
        put32(bmp, 0), put32(bmp, 8), put32(bmp, 0), put32(bmp, 0), put32(bmp, 4), put32(bmp, 0);
        for (uint32_t c : {0x000000u, 0xFF0000u, 0x00FF00u, 0x0000FFu}) put32(bmp, c);
        for (uint8_t p : {0, 1, 2, 0, 3, 2, 1, 0}) bmp.push_back(p);
        Write("a.bmp", bmp);
        // A PCM wave of 32 frames.
        std::vector<uint8_t> wav = {'R', 'I', 'F', 'F'};
        put32(wav, 36 + 64);
        for (char c : std::string("WAVEfmt ")) wav.push_back(static_cast<uint8_t>(c));
        put32(wav, 16), put16(wav, 1), put16(wav, 1), put32(wav, 11025), put32(wav, 22050),
            put16(wav, 2), put16(wav, 16);
        for (char c : std::string("data")) wav.push_back(static_cast<uint8_t>(c));
        put32(wav, 64);
        wav.resize(wav.size() + 64, 0x10);
        Write("a.wav", wav);
        Write("a.bin", {1, 2, 3, 4});
        std::ofstream(P("a.txt")) << "object Form1: TForm\n  Caption = 'x'\nend\n";
        ASSERT_EQ(
            Sh("$Q create hcl a.hcl a.bmp && $Q create crl a.crl a.bmp && $Q create iml a.iml "
               "a.bmp && "
               "$Q create sdl a.sdl a.wav && $Q create map a.map a.bin --width 2 --height 2 && "
               "$Q form binary a.txt a.dfm && $Q palette export a.crl a.gpl")
                .status,
            0);
    }
    std::string dir_;
};

// Every command, fed a pipe, a FIFO with a writer, a process substitution,
// /dev/null and zeros where it reads: valid data piped in works, and
// nothing ends by a signal or without a message.
TEST_F(QvxlibIo, EveryCommandTakesAnyInputAndNeverEndsByASignal) {
    MakeInputs();
    struct Case {
        const char* args;   // IN is the input fed
        const char* valid;  // a file IN may stand for
    };
    const Case cases[] = {
        {"info IN", "a.hcl"},
        {"info IN --json", "a.crl"},
        {"info IN --kind map", "a.map"},
        {"roundtrip IN out.x", "a.iml"},
        {"roundtrip IN out.x", "a.crl"},
        {"extract IN dir", "a.sdl"},
        {"verify IN", "a.hcl"},
        {"verify IN --kind map", "a.map"},
        {"form text IN", "a.dfm"},
        {"form binary IN out.dfm", "a.txt"},
        {"palette export IN out.gpl", "a.crl"},
        {"palette import a.crl IN out.crl", "a.gpl"},
        {"create crl out.crl IN", "a.bmp"},
        {"create crl out.crl a.bmp --palette IN", "a.gpl"},
        {"create iml out.iml IN", "a.bmp"},
        {"create sdl out.sdl IN", "a.wav"},
        {"create map out.map IN --width 2 --height 2", "a.bin"},
    };
    for (const Case& c : cases) {
        const std::string args = c.args, valid = c.valid;
        auto with = [&](const std::string& in) {
            std::string s = args;
            s.replace(s.find("IN"), 2, in);
            return "$Q " + s;
        };
        const std::vector<std::pair<std::string, std::string>> feeds = {
            {"pipe", "cat " + valid + " | " + with("-")},
            {"stdin", "cat " + valid + " | " + with("/dev/stdin")},
            {"substitution", with("<(cat " + valid + ")")},
            {"fifo", "rm -f in.fifo && mkfifo in.fifo && (cat " + valid + " > in.fifo &) && " +
                         with("in.fifo")},
            {"null", with("/dev/null")},
            {"zero", "head -c 16M /dev/zero | " + with("-")},
        };
        for (const auto& [feed, line] : feeds) {
            SCOPED_TRACE(args + " fed " + feed);
            const Shell r = Sh("rm -rf out.* dir; " + line);
            EXPECT_LT(r.status, 128) << r.err;
            if (feed != "null" && feed != "zero") {
                EXPECT_EQ(r.status, 0) << r.err;
            }
            if (r.status != 0) {
                EXPECT_EQ(r.status, 1) << r.err;
                EXPECT_FALSE(r.LastErrLine().empty() && r.out.empty());
            }
        }
    }
}

// An endless input is read up to a bound, then refused.
TEST_F(QvxlibIo, EndlessInputIsRefused) {
    for (const char* command : {"form text", "info"}) {
        const Shell r = Sh(std::string("$Q ") + command + " /dev/zero");
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_EQ(r.LastErrLine(), "/dev/zero: More than 1 GiB from a pipe or device") << command;
    }
}

// "-" is standard output for every output, also for a device-like stdout;
// a reader that leaves early ends the run with a message, not SIGPIPE.
TEST_F(QvxlibIo, DashWritesStandardOutput) {
    MakeInputs();
    EXPECT_EQ(Sh("$Q form text a.dfm - | $Q form binary - b.dfm && cmp a.dfm b.dfm").status, 0);
    EXPECT_EQ(Sh("$Q roundtrip a.crl - > b.crl && cmp a.crl b.crl").status, 0);
    EXPECT_EQ(Sh("$Q roundtrip a.hcl - | cmp - a.hcl").status, 0);
    // Over a thousand lines of text into a reader that takes one.
    std::ofstream big(P("big.txt"));
    big << "object F: T\n  S = (\n";
    for (int i = 0; i < 20000; ++i) big << "    'line'\n";
    big << "  )\nend\n";
    big.close();
    ASSERT_EQ(Sh("$Q form binary big.txt big.dfm").status, 0);
    const Shell r = Sh("$Q form text big.dfm - | head -c 1 >/dev/null; exit ${PIPESTATUS[0]}");
    EXPECT_LT(r.status, 128);
    // -- ends the options: a file that starts with dashes.
    ASSERT_EQ(Sh("cp a.hcl ./--odd.hcl").status, 0);
    EXPECT_EQ(Sh("$Q info -- --odd.hcl").status, 0);
}

// Saves: a device stays a device and its write errors are reported; a link
// loop changes nothing; names up to the file system's limit can be written.
TEST_F(QvxlibIo, OutputsThatAreNotRegularFiles) {
    MakeInputs();
    Shell r = Sh("$Q form text a.dfm /dev/full");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.LastErrLine(), "/dev/full: Disk full");
    EXPECT_EQ(Sh("$Q roundtrip a.crl /dev/full").LastErrLine(), "/dev/full: Disk full");

    if (::mknod(P("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        EXPECT_EQ(
            Sh("$Q form text a.dfm null && $Q roundtrip a.hcl null && $Q roundtrip a.crl null")
                .status,
            0);
        struct stat st;
        ASSERT_EQ(::stat(P("null").c_str(), &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode));
    }
    ASSERT_EQ(Sh("mkfifo out.fifo").status, 0);
    EXPECT_EQ(Sh("cat out.fifo > got & $Q roundtrip a.iml out.fifo; wait; cmp got a.iml").status,
              0);
    EXPECT_TRUE(fs::is_fifo(P("out.fifo")));

    ASSERT_EQ(Sh("ln -s loop1 loop2 && ln -s loop2 loop1").status, 0);
    r = Sh("$Q roundtrip a.hcl loop1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.LastErrLine().find("loop1"), std::string::npos);
    EXPECT_TRUE(fs::is_symlink(P("loop1")));
    EXPECT_EQ(Sh("ls | grep -c tmp").out, "0\n");

    const std::string longName(255, 'n');
    EXPECT_EQ(Sh("$Q roundtrip a.crl " + longName + " && cmp a.crl " + longName).status, 0);
    r = Sh("$Q roundtrip a.crl nosuch/x.crl");
    EXPECT_EQ(r.LastErrLine(), "nosuch/x.crl: File not found (its folder does not exist)");
}

// Reproducers of unclear messages: each names its file, the item where
// there is one, and what was found, the library's own text last.
TEST_F(QvxlibIo, MessagesNameTheFileTheItemAndWhatWasFound) {
    MakeInputs();
    auto patch = [&](const std::string& from, const std::string& to, size_t at,
                     std::vector<uint8_t> bytes) {
        std::string b = Slurp(P(from));
        for (size_t i = 0; i < bytes.size(); ++i) b[at + i] = static_cast<char>(bytes[i]);
        Write(to, std::vector<uint8_t>(b.begin(), b.end()));
    };
    patch("a.crl", "tall.crl", 1036 + 16, {0xFF, 0xFF, 0xFF, 0xFF});  // slide height -1
    patch("a.crl", "negative.crl", 4, {0xFF, 0xFF, 0xFF, 0xFF});      // slide count -1
    patch("a.sdl", "zero.sdl", 8 + 40, {0, 0, 0, 0});                 // sound size 0
    std::string sdl = Slurp(P("a.sdl"));
    Write("cut.sdl", std::vector<uint8_t>(sdl.begin(), sdl.end() - 10));  // samples cut short
    Write("empty.bin", {});
    std::ofstream(P("left.txt"))
        << "object QVXHiColorImagelib1: TQVXHiColorImagelib\n  Left = 'x'\nend\n";
    ASSERT_EQ(Sh("$Q form binary left.txt left.hcl --resource QVX_HI_COLOR_LIB").status, 0);
    std::ofstream(P("item.txt"))
        << "object L: TQVXHiColorImagelib\n  Images = <\n    item\n      Name = 'a'\n"
           "    end\n    item\n      Name = 5\n    end>\nend\n";
    ASSERT_EQ(Sh("$Q form binary item.txt item.hcl --resource QVX_HI_COLOR_LIB").status, 0);

    const std::pair<std::string, std::string> cases[] = {
        {"info tall.crl",
         "tall.crl: slide 0 \"a\": Height -1 (0xFFFFFFFF) is not a slide size: Out of memory"},
        {"verify tall.crl", "tall.crl: item 0 \"a\": Height -1 (0xFFFFFFFF) is not a slide size"},
        {"verify negative.crl",
         "negative.crl: Slide count -1 is negative: no slides are read, 40 bytes follow the "
         "header"},
        {"verify cut.sdl",
         "cut.sdl: item 0 \"a\": The samples need 64 bytes; 54 remain at offset 52"},
        {"info zero.sdl",
         "zero.sdl: sound 0 \"a\": Size 0 is not a number of sample bytes: TQVXSounds: GemMem "
         "Failed for Sound.Data"},
        {"palette import a.hcl x.gpl",
         "a.hcl: this is a hi-colour image library (.HCL), not an intro screen library (.CRL): "
         "Read beyond end of file"},
        {"palette export nosuch.crl z.gpl", "nosuch.crl: File not found"},
        {"create map m.map a.bin --width -5 --height 0", "a.bin: Size -5 x 0 has no cells"},
        {"create map m.map a.bin --width 2147483647 --height 2147483647",
         "a.bin: 4 bytes of data are not whole cells of a 2147483647 x 2147483647 map"},
        {"create map m.map empty.bin --width 1 --height 1",
         "empty.bin: 0 bytes of data are not whole cells of a 1 x 1 map"},
        {"verify --kind map a.map", ""},
        {"form text a.bin", "a.bin: Invalid stream format at byte 4"},
        {"info item.hcl",
         "item.hcl: image 1: Error reading TQVXImageItem.Name: Invalid property value"},
        {"verify left.hcl",
         "left.hcl: Error reading QVXHiColorImagelib1.Left: Invalid property value"},
        {"info a.crl --kind iml",
         "a.crl: this is an intro screen library (.CRL), not a palette image library (.IML): "
         "Not a valid Image Library File"},
        {"create hcl x.hcl a.bmp", "1 image written to x.hcl"},
        {"create crl x.crl a.bmp", "1 slide written to x.crl"},
    };
    for (const auto& [command, want] : cases) {
        const Shell r = Sh("$Q " + command);
        const std::string last =
            r.err.empty() ? r.out.substr(0, r.out.find('\n')) : r.LastErrLine();
        EXPECT_EQ(last, want) << command;
    }
}

// Names and texts from files are shown with their control characters
// escaped, in messages, tables and verify lines; the file keeps the bytes.
TEST_F(QvxlibIo, ControlCharactersFromFilesAreEscaped) {
    MakeInputs();
    std::ofstream(P("evil.txt")) << "object F: T\n  'x' = 1\nend\n";
    ASSERT_EQ(Sh("$Q form binary evil.txt /dev/null").status, 1);  // not a name the text allows
    // A property name with a line break and ESC, written as bytes.
    std::string dfm = Slurp(P("a.dfm"));
    const std::string caption =
        "\x07"
        "Caption";
    const std::string hostile = "\x10Use\nInjected\x1b[";
    dfm.replace(dfm.find(caption), caption.size(), hostile);
    Write("evil.dfm", std::vector<uint8_t>(dfm.begin(), dfm.end()));
    Shell r = Sh("$Q form text evil.dfm");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(r.err.find('\x1b'), std::string::npos);

    // An image named "a\nb\x1b[" in a palette image library.
    std::string iml = Slurp(P("a.iml"));
    iml.replace(1036 + 8, 6,
                std::string("\x05"
                            "a\nb\x1b[",
                            6));
    Write("evil.iml", std::vector<uint8_t>(iml.begin(), iml.end()));
    r = Sh("$Q info evil.iml");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("a\\nb\\x1b["), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
    r = Sh("$Q roundtrip evil.iml back.iml && cmp evil.iml back.iml");
    EXPECT_EQ(r.status, 0);
}

}  // namespace
