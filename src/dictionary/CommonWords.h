#pragma once

#include <QSet>
#include <QString>

namespace sayloom {

// The 210 lower-case words so frequent in speech that a dictionary entry for one of them rewrites almost every
// take.
class CommonWords {
public:
    CommonWords() = delete;
    static const QSet<QString>& words();
};

} // namespace sayloom
