#include "base/LoopbackURL.h"

#include <QHostAddress>

namespace sayloom {

std::optional<QUrl> LoopbackURL::parse(const QString& text)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != u"http" && url.scheme() != u"https") || url.host().isEmpty()) {
        return std::nullopt;
    }
    if (url.host().compare(u"localhost", Qt::CaseInsensitive) == 0) {
        return url;
    }
    const QHostAddress address(url.host());
    if (address.isNull() || !address.isLoopback()) {
        return std::nullopt;
    }
    return url;
}

} // namespace sayloom
