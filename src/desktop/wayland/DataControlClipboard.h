#pragma once

#include "desktop/PasteClipboard.h"
#include "session/ports/Clipboard.h"

#include <QByteArray>
#include <QList>
#include <QObject>

#include <chrono>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

struct zwlr_data_control_device_v1;

namespace sayloom {

class WaylandConnection;

// The seat's clipboard (or its primary selection, which xterm pastes with Shift+Insert) through the wlroots
// data-control protocol, which needs no window and no focus: for one paste at a time (held, then given back) and for
// text left there for the user. Content we put there is served from memory by this object until someone else copies.
// Main thread only.
class DataControlClipboard final : public QObject, public PasteClipboard, public Clipboard {
public:
    // Each type and its bytes, in the order offered.
    using Content = QList<std::pair<QByteArray, QByteArray>>;

    enum class Selection { clipboard, primary };

    // `connection` must outlive this. Without the compositor's data-control global (version 2 for the primary
    // selection) nothing is available.
    explicit DataControlClipboard(WaylandConnection& connection, Selection selection = Selection::clipboard);
    DataControlClipboard(const DataControlClipboard&) = delete;
    DataControlClipboard& operator=(const DataControlClipboard&) = delete;
    ~DataControlClipboard() override;

    bool isAvailable() const;

    QCoro::Task<bool> hold(QString text) override;
    void restore() override;
    void setText(const QString& text) override;

    // How long copying out the clipboard may take in all; a program that does not answer costs this once.
    static constexpr std::chrono::milliseconds copyPatience{1000};

private:
    struct Offer;
    struct Source;
    struct Listeners;
    friend struct Listeners;

    // Every type of the current selection with its bytes, as far as the owner answered in time.
    QCoro::Task<Content> copyOut();
    // Makes `content` the selection, served by us until someone else copies; nothing for an empty clipboard.
    Source* claim(Content content);
    void forget(Source* source);
    void serve(const QByteArray& data, int fd);

    void setSelection(Source* source);

    WaylandConnection& m_connection;
    Selection m_which;
    zwlr_data_control_device_v1* m_device = nullptr;
    Offer* m_selection = nullptr;
    std::vector<std::unique_ptr<Source>> m_sources;
    // The transient text of the paste in progress while it is still the selection.
    Source* m_held = nullptr;
    std::optional<Content> m_saved;
};

} // namespace sayloom
