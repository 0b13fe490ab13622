// Data to another program's window over a local socket. A packet is
// dwData and cbData (32-bit little-endian each) followed by cbData bytes;
// the receiver answers every packet with a 64-bit result.
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QObject>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QtEndian>
#include <map>

#include "winsys.h"

namespace winsys {

namespace {

// How long a sender waits for the receiver's answer. A sent message waits
// for ever; a hung viewer must not freeze the sender, so the wait is bounded.
constexpr int kAnswerTimeoutMs = 3000;
constexpr int kConnectTimeoutMs = 1000;

std::string Encode(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '.') {
            out += static_cast<char>(c);
        } else {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            out += buf;
        }
    }
    return out;
}

class SocketWindow : public RemoteWindow {
public:
    explicit SocketWindow(std::unique_ptr<QLocalSocket> s) : sock_(std::move(s)) {}
    bool SendCopyData(uint32_t dwData, const void* data, uint32_t cbData, int64_t* result) override {
        if (sock_->state() != QLocalSocket::ConnectedState) return false;
        uchar head[8];
        qToLittleEndian<quint32>(dwData, head);
        qToLittleEndian<quint32>(cbData, head + 4);
        QByteArray packet(reinterpret_cast<const char*>(head), 8);
        if (cbData) packet.append(static_cast<const char*>(data), static_cast<qsizetype>(cbData));
        if (sock_->write(packet) != packet.size()) return false;
        QDeadlineTimer deadline(kAnswerTimeoutMs);
        while (sock_->bytesToWrite() > 0)
            if (!sock_->waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) return false;
        while (sock_->bytesAvailable() < 8) {
            if (deadline.hasExpired() || !sock_->waitForReadyRead(static_cast<int>(deadline.remainingTime())))
                return false;
        }
        QByteArray answer = sock_->read(8);
        if (result) *result = qFromLittleEndian<qint64>(answer.constData());
        return true;
    }

private:
    std::unique_ptr<QLocalSocket> sock_;
};

}  // namespace

std::string WindowEndpoint(const std::string& className, const std::string& caption) {
    // Looked up once: the lookup warns when the runtime folder is not set.
    static const std::string dir = [] {
        QString d = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        return (d.isEmpty() ? QDir::tempPath() : d).toStdString();
    }();
    return dir + "/qvx-window-" + Encode(className) + "-" + Encode(caption);
}

std::unique_ptr<RemoteWindow> FindWindow(const std::string& className, const std::string& caption) {
    auto sock = std::make_unique<QLocalSocket>();
    sock->connectToServer(QString::fromStdString(WindowEndpoint(className, caption)));
    if (!sock->waitForConnected(kConnectTimeoutMs)) return nullptr;
    return std::make_unique<SocketWindow>(std::move(sock));
}

// ---- Receiver ----------------------------------------------------------------------

struct CopyDataListener::Impl {
    std::string className, caption;
    Handler handler;
    QLocalServer server;
    std::string error;
    std::map<QLocalSocket*, QByteArray> buffers;

    // Handles every complete packet in `buf`; false when the peer sent one
    // too big to accept.
    bool Drain(QLocalSocket* s, QByteArray& buf, int* handled) {
        while (buf.size() >= 8) {
            quint32 dw = qFromLittleEndian<quint32>(buf.constData());
            quint32 cb = qFromLittleEndian<quint32>(buf.constData() + 4);
            if (cb > kMaxPacket) return false;
            if (static_cast<quint64>(buf.size()) < 8ull + cb) break;
            CopyData cd;
            cd.dwData = dw;
            cd.bytes.assign(buf.constData() + 8, buf.constData() + 8 + cb);
            buf.remove(0, static_cast<qsizetype>(8 + cb));
            int64_t r = handler ? handler(cd) : 0;
            uchar ans[8];
            qToLittleEndian<qint64>(r, ans);
            s->write(reinterpret_cast<const char*>(ans), 8);
            s->flush();
            if (handled) ++*handled;
        }
        return true;
    }

    void OnConnection() {
        while (QLocalSocket* s = server.nextPendingConnection()) {
            buffers[s];
            QObject::connect(s, &QLocalSocket::readyRead, &server, [this, s] {
                QByteArray& buf = buffers[s];
                buf.append(s->readAll());
                if (!Drain(s, buf, nullptr)) s->abort();
            });
            QObject::connect(s, &QLocalSocket::disconnected, &server, [this, s] {
                buffers.erase(s);
                s->deleteLater();
            });
        }
    }
};

CopyDataListener::CopyDataListener(std::string className, std::string caption, Handler handler)
    : d(std::make_unique<Impl>()) {
    d->className = std::move(className);
    d->caption = std::move(caption);
    d->handler = std::move(handler);
}

CopyDataListener::~CopyDataListener() { d->server.close(); }

bool CopyDataListener::Listen() {
    QString path = QString::fromStdString(WindowEndpoint(d->className, d->caption));
    {
        QLocalSocket probe;
        probe.connectToServer(path);
        if (probe.waitForConnected(kConnectTimeoutMs)) {
            d->error = "A window of class " + d->className + " and caption " + d->caption + " is already running";
            return false;
        }
    }
    QLocalServer::removeServer(path);  // a socket left behind by a receiver that died
    d->server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!d->server.listen(path)) {
        d->error = d->server.errorString().toStdString();
        return false;
    }
    QObject::connect(&d->server, &QLocalServer::newConnection, &d->server, [this] { d->OnConnection(); });
    return true;
}

std::string CopyDataListener::ErrorText() const { return d->error; }

int CopyDataListener::Serve(int timeoutMs) {
    int handled = 0;
    // Waiting emits the server's signals itself; keep the event-loop
    // handlers from taking the connections.
    QSignalBlocker quiet(&d->server);
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        bool timedOut = false;
        if (!d->server.hasPendingConnections() &&
            !d->server.waitForNewConnection(static_cast<int>(deadline.remainingTime()), &timedOut))
            break;
        QLocalSocket* s = d->server.nextPendingConnection();
        if (!s) continue;
        QByteArray buf;
        while (s->state() == QLocalSocket::ConnectedState && !deadline.hasExpired()) {
            if (s->bytesAvailable() == 0 && !s->waitForReadyRead(static_cast<int>(deadline.remainingTime()))) break;
            buf.append(s->readAll());
            if (!d->Drain(s, buf, &handled)) break;
            s->waitForBytesWritten(100);
        }
        s->abort();
        delete s;
    }
    return handled;
}

}  // namespace winsys
