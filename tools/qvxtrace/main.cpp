// qvxtrace: shows a game's trace lines. Run it, then start the game; each
// line the game sends is printed with the time it arrived, or with --print
// exactly as received (one line each, flushed at once, for scripts, CI and
// the soak). Stop with Ctrl+C.
#include <QCoreApplication>
#include <QDateTime>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "platform/winsys/winsys.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // --bare is the older name of --print.
    bool bare =
        argc == 2 && (std::strcmp(argv[1], "--print") == 0 || std::strcmp(argv[1], "--bare") == 0);
    if (argc > 1 && !bare) {
        std::printf(
            "usage: qvxtrace [--print]\n  Prints the lines games send to the trace window"
            " (--print: each line as received, without the time).\n");
        return 2;
    }
    winsys::CopyDataListener listener("TfrmQVXTrace", "QVX Trace", [bare](const winsys::CopyData& cd) -> int64_t {
        // The text is 8-bit characters up to the terminating zero.
        size_t n = 0;
        while (n < cd.bytes.size() && cd.bytes[n] != 0) ++n;
        QString line = QString::fromLatin1(reinterpret_cast<const char*>(cd.bytes.data()), static_cast<qsizetype>(n));
        line.replace(QChar('\r'), QChar(' '));
        if (bare)
            std::printf("%s\n", line.toUtf8().constData());
        else
            std::printf("%s  %s\n", QTime::currentTime().toString("HH:mm:ss.zzz").toUtf8().constData(),
                        line.toUtf8().constData());
        std::fflush(stdout);
        return 1;
    });
    if (!listener.Listen()) {
        std::fprintf(stderr, "qvxtrace: %s\n", listener.ErrorText().c_str());
        return 1;
    }
    std::signal(SIGINT, [](int) { QCoreApplication::quit(); });
    std::signal(SIGTERM, [](int) { QCoreApplication::quit(); });
    std::fprintf(stderr, "qvxtrace: listening as \"QVX Trace\"\n");
    return app.exec();
}
