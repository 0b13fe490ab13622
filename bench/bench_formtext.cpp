// Form data between binary and text: the cost per MB of compiling a form's
// own text (`form binary`) at 1, 16 and 128 MB of string, against writing
// that text from the binary (`form text`) in the same run. Linear work keeps
// the cost per MB flat: the largest at most 1.5 x the smallest, and 128 MB
// compiled in at most 3 x the time of writing its text. Also lists, binary
// blocks and collections of the same size, and ten thousand 1 KB pieces
// joined with '+'.
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "benchutil.h"
#include "toolkit/formtext.h"
#include "toolkit/propstream.h"
#include "toolkit/streams.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A form whose one property holds `mb` MB in the shape `fill` writes.
Bytes Form(const std::function<void(tk::TWriter&)>& fill) {
    tk::TMemoryStream m;
    {
        tk::TWriter w(m);
        w.WriteSignature();
        w.WriteStr("TForm");
        w.WriteStr("Form1");
        w.WriteStr("Value");
        fill(w);
        w.WriteListEnd();
        w.WriteListEnd();
        w.Flush();
    }
    return m.TakeBytes();
}

std::string Text(size_t bytes) {
    std::string s(bytes, '\0');
    for (size_t i = 0; i < bytes; ++i)
        s[i] = static_cast<char>(i % 7 == 6 ? 13 : 'a' + i % 23);  // #13 now and then
    return s;
}

struct Figures {
    double toText = 0, toBinary = 0;
};

// Best of `runs` for each direction; checks the round trip once.
Figures Measure(const Bytes& data, int runs) {
    Figures f;
    std::string text;
    f.toText = bench::Best(runs, [&] { text = tk::FormDataToText(data); });
    Bytes back;
    f.toBinary = bench::Best(runs, [&] { back = tk::FormTextToData(text); });
    if (back != data) {
        std::fprintf(stderr, "round trip changed the data\n");
        std::exit(1);
    }
    return f;
}

}  // namespace

int main() {
    const double mb = 1024.0 * 1024.0;
    std::printf(
        "string property: cost per MB of compiling its text (form binary) and writing it (form "
        "text)\n");
    std::printf("%8s  %14s  %14s\n", "MB", "binary s/MB", "text s/MB");
    double lo = 1e300, hi = 0, binary128 = 0, text128 = 0;
    for (size_t size : {size_t(1) << 20, size_t(16) << 20, size_t(128) << 20}) {
        const Bytes data = Form([&](tk::TWriter& w) { w.WriteString(Text(size)); });
        const Figures f = Measure(data, size > (16u << 20) ? 1 : 3);
        const double perMb = f.toBinary / (size / mb);
        lo = std::min(lo, perMb);
        hi = std::max(hi, perMb);
        binary128 = f.toBinary;
        text128 = f.toText;
        std::printf("%8zu  %14.4f  %14.4f\n", size >> 20, perMb, f.toText / (size / mb));
    }
    std::printf("largest / smallest cost per MB of form binary: %.2f (goal <= 1.5)\n", hi / lo);
    std::printf("form binary / form text at 128 MB: %.2f (goal <= 3)\n", binary128 / text128);

    // The other shapes at 16 MB, against the string of the same size.
    const size_t size = size_t(16) << 20;
    const double stringCost =
        Measure(Form([&](tk::TWriter& w) { w.WriteString(Text(size)); }), 3).toBinary / (size / mb);
    struct Shape {
        const char* name;
        std::function<void(tk::TWriter&)> fill;
    };
    const Shape shapes[] = {
        {"binary block",
         [&](tk::TWriter& w) {
             const std::string bytes = Text(size);
             w.WriteBinary([&](tk::TStream& s) {
                 s.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
             });
         }},
        {"list of integers",
         [&](tk::TWriter& w) {
             w.WriteListBegin();
             for (size_t i = 0; i < size / 4; ++i)
                 w.WriteInteger(static_cast<int64_t>(i * 2654435761u % 100000));
             w.WriteListEnd();
         }},
        {"collection",
         [&](tk::TWriter& w) {
             w.WriteValue(tk::TValueType::vaCollection);
             for (size_t i = 0; i < size / 32; ++i) {
                 w.WriteListBegin();
                 w.WriteStr("Name");
                 w.WriteString("item" + std::to_string(i));
                 w.WriteListEnd();
             }
             w.WriteListEnd();
         }},
    };
    std::printf("\nat 16 MB, cost per MB of form binary against the string's\n");
    for (const Shape& s : shapes) {
        const Bytes data = Form(s.fill);
        const Figures f = Measure(data, 3);
        std::printf("%-18s  %8.4f s/MB of data  (%.2f x the string's)\n", s.name,
                    f.toBinary / (data.size() / mb), f.toBinary / (data.size() / mb) / stringCost);
    }

    // Ten thousand 1 KB pieces joined with '+', written by hand.
    std::string pieces = "object Form1: TForm\n  Value = ";
    const std::string piece = "'" + std::string(1024, 'x') + "'";
    for (int i = 0; i < 10000; ++i) pieces += (i ? " +\n    " : "") + piece;
    pieces += "\nend\n";
    const double joined = bench::Best(3, [&] { tk::FormTextToData(pieces); });
    std::printf("\nten thousand 1 KB pieces joined with '+': %.4f s/MB (%.2f x one string)\n",
                joined / (pieces.size() / mb), joined / (pieces.size() / mb) / stringCost);
    return 0;
}
