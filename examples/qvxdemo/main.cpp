// qvxdemo: the demo game. Its window is qvxdemo.dfm, beside the program.
#include <cstdio>
#include <filesystem>

#include "game.h"

int main(int argc, char** argv) {
    demo::Options options;
    std::string error = demo::ParseOptions(argc, argv, options);
    if (error == "help") {
        std::fputs(demo::kUsage, stdout);
        return 0;
    }
    if (!error.empty()) {
        std::fprintf(stderr, "qvxdemo: %s\n%s", error.c_str(), demo::kUsage);
        return 2;
    }
    auto dir = std::filesystem::canonical("/proc/self/exe").parent_path();
    return demo::Game(options).Run((dir / "qvxdemo.dfm").string());
}
