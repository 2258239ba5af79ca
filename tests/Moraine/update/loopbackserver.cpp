#include "loopbackserver.h"

#include <QSslServer>
#include <QTcpSocket>
#include <QTimer>

LoopbackServer::LoopbackServer(const QSslConfiguration &tls)
{
    if (tls.isNull()) {
        m_server = new QTcpServer(this);
    } else {
        auto *server = new QSslServer(this);
        server->setSslConfiguration(tls);
        m_server = server;
    }
    connect(m_server, &QTcpServer::pendingConnectionAvailable, this, &LoopbackServer::accept);
    m_server->listen(QHostAddress::LocalHost, 0);
}

QString LoopbackServer::url(const QString &path) const
{
    return QStringLiteral("%1://127.0.0.1:%2%3")
        .arg(qobject_cast<QSslServer *>(m_server) ? QStringLiteral("https") : QStringLiteral("http"))
        .arg(m_server->serverPort())
        .arg(path);
}

void LoopbackServer::page(const QString &path, const QByteArray &body)
{
    route(path, {.headers = {{"Content-Type", "application/xhtml+xml"}, {"Last-Modified", "Wed, 01 Jan 2025 10:00:00 GMT"},
                             {"Etag", "\"fixture\""}},
                 .body = body});
}

void LoopbackServer::release()
{
    const auto held = std::exchange(m_held, {});
    for (const auto &[socket, response] : held) {
        if (socket) {
            answer(socket, response);
        }
    }
}

void LoopbackServer::accept()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            ++m_closed;
            m_pending.remove(socket);
            socket->deleteLater();
        });
        if (socket->bytesAvailable() > 0) {
            readRequest(socket);
        }
    }
}

void LoopbackServer::readRequest(QTcpSocket *socket)
{
    QByteArray &buffer = m_pending[socket];
    buffer.append(socket->readAll());
    if (!buffer.contains("\r\n\r\n")) {
        return;
    }
    const QString path = QString::fromLatin1(buffer.left(buffer.indexOf("\r\n")).split(' ').value(1));
    buffer.clear();
    m_requests[path] += 1;
    answer(socket, m_routes.value(path, {.status = 404, .reason = "Not Found", .body = "<html><body>missing</body></html>"}));
}

void LoopbackServer::answer(QTcpSocket *socket, const Response &response)
{
    switch (response.mode) {
    case Response::Mode::Hang:
        return;
    case Response::Mode::Hold:
        m_held.append({socket, response});
        m_held.last().second.mode = Response::Mode::Normal; // answered as it is on release()
        return;
    case Response::Mode::Trickle: {
        socket->write("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(response.streamBytes) + "\r\n\r\n");
        auto *timer = new QTimer(socket);
        connect(timer, &QTimer::timeout, socket, [socket] { socket->write(" "); });
        timer->start(50);
        return;
    }
    case Response::Mode::Normal:
        break;
    }
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + response.reason + "\r\n";
    for (const auto &[name, value] : response.headers) {
        head += name + ": " + value + "\r\n";
    }
    if (response.declareLength) {
        head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    }
    head += "Connection: close\r\n\r\n";
    socket->write(head + response.body);
    socket->disconnectFromHost();
}
