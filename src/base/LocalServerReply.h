#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class QNetworkReply;

namespace sayloom {

// Reading the answers of the local servers Sayloom talks to (the language model, the speech server) with the same
// care: a size limit, and the server's own words when it refuses.
class LocalServerReply {
public:
    LocalServerReply() = delete;

    // More than any sensible answer; a larger body is a server gone wrong, not something to hold in memory.
    static constexpr qint64 maximumBodySize = 1 << 20;

    // Aborts the reply once its body grows past the limit; `tooLarge` tells why it ended.
    static void limitBody(QNetworkReply* reply, std::shared_ptr<bool> tooLarge);
    // 0 when no HTTP answer came.
    static int httpStatus(const QNetworkReply* reply);
    // The server's own words about an error: {"error": {"message": …}} (OpenAI), {"error": "…"} (Ollama),
    // {"message": …}, {"detail": "…"} (FastAPI servers), or the beginning of the body as text.
    static QString serverMessage(const QByteArray& body);
};

} // namespace sayloom
