// The trace viewer program receives what SendTrace sends.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "qvx/runtime/dxerror.h"

namespace {

std::string ReadLine(FILE* f) {
    std::string line;
    for (int c; (c = std::fgetc(f)) != EOF && c != '\n';) line += static_cast<char>(c);
    return line;
}

TEST(TraceViewer, PrintsEachLineItReceives) {
    const char* build = std::getenv("QVX_BUILD_DIR");
    std::string exe = std::string(build ? build : "") + "/tools/qvxtrace/qvxtrace";
    if (!build || access(exe.c_str(), X_OK) != 0) GTEST_SKIP() << "qvxtrace not built";
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        dup2(fds[1], 2);
        close(fds[0]);
        execl(exe.c_str(), exe.c_str(), "--print", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    FILE* out = fdopen(fds[0], "r");
    std::string first = ReadLine(out);
    while (first.rfind("QStandardPaths", 0) == 0) first = ReadLine(out);
    if (first.find("listening") == std::string::npos) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        fclose(out);
        GTEST_SKIP() << "viewer did not start: " << first;
    }
    qvx::SendTrace("Restore Failed: Generic");
    qvx::SendTrace(std::string(260, 'y'));
    std::string a = ReadLine(out), b = ReadLine(out);
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    fclose(out);
    EXPECT_EQ(a, "Restore Failed: Generic");
    EXPECT_EQ(b, std::string(255, 'y'));
}

}  // namespace
