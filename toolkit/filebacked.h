// Data that a library component gives up once its users hold it, and reads
// back from its file when they must be rebuilt.
//
// A library loaded from a file (pictures, sounds, slides) is turned into
// display surfaces or sound buffers; after that it needs no copy of its own
// until they are lost. Every such library owns one TFileBackedData, and
// every user of the library keeps one rule around each build:
//
//     library->Data().Need();    // before reading the library's items
//     ... build surfaces or buffers from the items ...
//     library->Data().Built();   // after the build succeeded
//
// - Need() reads the file again if the data was given up. When that read
//   fails (the file has gone), the file's error is raised and the data stays
//   given up, so the next Need() tries again: the library never passes for
//   an empty one.
// - Built() gives the data up when it came from a file. Data that came from
//   anywhere else (form data, a copy, items added in code) is kept, since
//   nothing could bring it back.
// - A library whose items were replaced since it gave them up (a new load,
//   an assignment) counts as holding data again.
//
// Several users of one library each keep the rule; the second Need() reads
// the file again. A failed build skips Built(), so what was read stays for
// the next attempt.
#pragma once

#include <functional>
#include <string>

namespace tk {

class TFileBackedData {
public:
    struct Hooks {
        std::function<std::string()> fileName;         // the file the data came from, or ""
        std::function<int()> count;                    // items held now
        std::function<void(const std::string&)> load;  // reads the file; raises its error
        std::function<void()> drop;                    // releases the items
    };
    explicit TFileBackedData(Hooks hooks) : hooks_(std::move(hooks)) {}

    void Need();
    void Built();
    // True while the items are given up and not yet read again.
    bool GivenUp() const;

private:
    Hooks hooks_;
    std::string givenUpFrom_;  // the file to read again; empty while the items are held
};

}  // namespace tk
