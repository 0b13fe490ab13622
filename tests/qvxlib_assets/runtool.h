// Runs the built qvxlib and captures its exit status and output.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "toolkit/streams.h"

namespace runtool {

struct Result {
    int status = -1;
    std::string out, err;
    // The last line qvxlib wrote to stderr: the library's message.
    std::string LastErrorLine() const {
        std::string e = err;
        while (!e.empty() && e.back() == '\n') e.pop_back();
        auto nl = e.rfind('\n');
        return nl == std::string::npos ? e : e.substr(nl + 1);
    }
    QJsonObject Json() const { return QJsonDocument::fromJson(QByteArray::fromStdString(out)).object(); }
};

inline std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline Result Run(const std::vector<std::string>& args, const std::string& scratch) {
    const char* build = std::getenv("QVX_BUILD_DIR");
    std::string tool = std::string(build ? build : ".") + "/tools/qvxlib/qvxlib";
    std::string cmd = Quote(tool);
    for (auto& a : args) cmd += " " + Quote(a);
    std::string outFile = scratch + "/.stdout", errFile = scratch + "/.stderr";
    cmd += " >" + Quote(outFile) + " 2>" + Quote(errFile);
    int raw = std::system(cmd.c_str());
    Result r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = ReadText(outFile);
    r.err = ReadText(errFile);
    return r;
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) { return tk::ReadFileBytes(path); }
inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& b) {
    tk::WriteFileBytes(path, b.data(), b.size());
}

}  // namespace runtool
