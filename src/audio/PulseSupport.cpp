#include "audio/PulseSupport.h"

namespace sayloom {
Q_LOGGING_CATEGORY(lcAudio, "app.sayloom.audio")
} // namespace sayloom

namespace sayloom::pulse {

pa_context* newContext(pa_mainloop_api* api)
{
    pa_proplist* list = pa_proplist_new();
    pa_proplist_sets(list, PA_PROP_APPLICATION_NAME, "Sayloom");
    pa_proplist_sets(list, PA_PROP_APPLICATION_ID, "app.sayloom.Sayloom");
    pa_proplist_sets(list, PA_PROP_APPLICATION_ICON_NAME, "audio-input-microphone");
    pa_context* context = pa_context_new_with_proplist(api, "Sayloom", list);
    pa_proplist_free(list);
    return context;
}

AudioDevices::Properties properties(const pa_proplist* list)
{
    AudioDevices::Properties result;
    if (!list) {
        return result;
    }
    void* state = nullptr;
    while (const char* key = pa_proplist_iterate(list, &state)) {
        // Binary properties have no text; none of the ones we read is binary.
        if (const char* value = pa_proplist_gets(list, key)) {
            result.emplace(key, value);
        }
    }
    return result;
}

QString displayName(const pa_source_info& info)
{
    const QString description = info.description ? QString::fromUtf8(info.description) : QString();
    return description.isEmpty() ? QStringLiteral("Unknown") : description;
}

AudioInputDevice inputDevice(const pa_source_info& info)
{
    return AudioInputDevice{
            .id = info.index,
            .uid = QString::fromUtf8(info.name ? info.name : ""),
            .name = displayName(info),
            .transport = AudioDevices::transport(properties(info.proplist)),
    };
}

QString errorText(int error)
{
    const char* text = pa_strerror(error);
    return text ? QString::fromUtf8(text) : QStringLiteral("Unknown sound server error");
}

pa_usec_t microsecondsUntil(std::chrono::steady_clock::time_point deadline)
{
    const auto left =
            std::chrono::duration_cast<std::chrono::microseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? pa_usec_t(left.count()) : 0;
}

} // namespace sayloom::pulse
