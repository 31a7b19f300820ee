#pragma once

#include "text/TextPolisher.h"

namespace sayloom {

// The instant, deterministic cleanup: fillers out, stutters collapsed, runs of blanks shortened, then
// finalizedDictation(). Stateless; any number of calls may run at once.
class BasicPolisher final : public TextPolisher {
public:
    void prewarm() override {}
    QCoro::Task<QString> polish(QString text, PolishContext) override { co_return polished(text); }

    // The same cleanup, synchronously.
    static QString polished(const QString& text);
};

} // namespace sayloom
