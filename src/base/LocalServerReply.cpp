#include "base/LocalServerReply.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>

namespace sayloom {

void LocalServerReply::limitBody(QNetworkReply* reply, std::shared_ptr<bool> tooLarge)
{
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [reply, tooLarge](qint64 received, qint64 total) {
        if (!*tooLarge && (received > maximumBodySize || total > maximumBodySize)) {
            *tooLarge = true;
            reply->abort();
        }
    });
}

int LocalServerReply::httpStatus(const QNetworkReply* reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

QString LocalServerReply::serverMessage(const QByteArray& body)
{
    const QJsonObject object = QJsonDocument::fromJson(body).object();
    const QJsonValue error = object.value(u"error");
    for (const QJsonValue& value :
         {error, error.toObject().value(u"message"), object.value(u"message"), object.value(u"detail")}) {
        if (value.isString() && !value.toString().isEmpty()) {
            return value.toString();
        }
    }
    return QString::fromUtf8(body.left(200)).simplified();
}

} // namespace sayloom
