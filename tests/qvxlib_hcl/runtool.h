// Runs the built qvxlib and captures its exit status and output.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tooltest {

struct Result {
    int code = -1;
    std::string out, err;
    // The last line written to stderr.
    std::string LastErrLine() const {
        std::string e = err;
        while (!e.empty() && e.back() == '\n') e.pop_back();
        auto nl = e.rfind('\n');
        return nl == std::string::npos ? e : e.substr(nl + 1);
    }
};

inline std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

inline std::string ToolPath() {
    const char* b = std::getenv("QVX_BUILD_DIR");
    return std::string(b ? b : ".") + "/tools/qvxlib/qvxlib";
}

inline std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline Result Run(const std::vector<std::string>& args) {
    static int n = 0;
    auto dir = std::filesystem::temp_directory_path() / ("qvxlib_run_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::string outFile = (dir / ("out" + std::to_string(n))).string();
    std::string errFile = (dir / ("err" + std::to_string(n++))).string();
    std::string cmd = Quote(ToolPath());
    for (auto& a : args) cmd += " " + Quote(a);
    cmd += " >" + Quote(outFile) + " 2>" + Quote(errFile);
    int status = std::system(cmd.c_str());
    Result r;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = Slurp(outFile);
    r.err = Slurp(errFile);
    return r;
}

}  // namespace tooltest
