// The master volume through the PulseAudio client library (PipeWire serves
// the same protocol). The library runs its own thread; what it reports comes
// back to the GUI thread as a queued call.
#include "systemvolume.h"

#include "logging.h"

#include <QMetaObject>
#include <QPointer>

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/thread-mainloop.h>
#include <pulse/volume.h>

#include <algorithm>
#include <deque>
#include <vector>

namespace {

constexpr char kDefaultSink[] = "@DEFAULT_SINK@";

} // namespace

// Everything here but the constructor, the destructor and run() is called on
// the library's thread, with its lock held.
struct SystemVolume::Pulse
{
    explicit Pulse(SystemVolume *volume) : owner(volume)
    {
        loop = pa_threaded_mainloop_new();
        if (loop && pa_threaded_mainloop_start(loop) < 0) {
            pa_threaded_mainloop_free(loop);
            loop = nullptr;
        }
    }

    ~Pulse()
    {
        if (!loop)
            return;
        pa_threaded_mainloop_stop(loop);
        if (context) {
            pa_context_disconnect(context);
            pa_context_unref(context);
        }
        pa_threaded_mainloop_free(loop);
    }

    void run(Command command)
    {
        if (!loop) {
            report(false);
            return;
        }
        pa_threaded_mainloop_lock(loop);
        pending.push_back(command);
        if (!context)
            connect();
        else if (pa_context_get_state(context) == PA_CONTEXT_READY)
            runPending();
        pa_threaded_mainloop_unlock(loop);
    }

    void connect()
    {
        context = pa_context_new(pa_threaded_mainloop_get_api(loop), "Aurilo");
        if (!context) {
            failAll();
            return;
        }
        pa_context_set_state_callback(context, &Pulse::stateChanged, this);
        // Never start a server of our own: without one the keys do nothing.
        if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            dropContext();
    }

    void dropContext()
    {
        if (context) {
            pa_context_set_state_callback(context, nullptr, nullptr);
            pa_context_disconnect(context);
            pa_context_unref(context);
            context = nullptr;
        }
        // A context that goes cancels its operations without a word.
        for (Request *request : inFlight) {
            report(false);
            delete request;
        }
        inFlight.clear();
        failAll();
    }

    static void stateChanged(pa_context *context, void *data)
    {
        auto *self = static_cast<Pulse *>(data);
        switch (pa_context_get_state(context)) {
        case PA_CONTEXT_READY:
            self->runPending();
            break;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            // The server went or never was; the next command looks again.
            qCInfo(lcWinfra) << "volume: no sound server:"
                             << pa_strerror(pa_context_errno(context));
            self->dropContext();
            break;
        default:
            break;
        }
    }

    void runPending()
    {
        while (!pending.empty()) {
            const Command command = pending.front();
            pending.pop_front();
            auto *request = new Request{this, command};
            pa_operation *operation =
                pa_context_get_sink_info_by_name(context, kDefaultSink, &Pulse::sinkInfo, request);
            if (!operation) {
                delete request;
                report(false);
                continue;
            }
            inFlight.push_back(request);
            pa_operation_unref(operation);
        }
    }

    struct Request
    {
        Pulse *pulse;
        Command command;
        bool seen = false;
    };

    static void sinkInfo(pa_context *context, const pa_sink_info *info, int eol, void *data)
    {
        auto *request = static_cast<Request *>(data);
        Pulse *self = request->pulse;
        if (eol != 0) {
            if (!request->seen)
                self->report(false); // no default output
            self->inFlight.erase(std::remove(self->inFlight.begin(), self->inFlight.end(), request),
                                 self->inFlight.end());
            delete request;
            return;
        }
        request->seen = true;
        pa_operation *operation = nullptr;
        if (request->command == VolumeMute) {
            operation = pa_context_set_sink_mute_by_index(context, info->index, !info->mute,
                                                          &Pulse::done, self);
        } else {
            QList<Volume> channels;
            for (int i = 0; i < info->volume.channels; ++i)
                channels.append(info->volume.values[i]);
            const QList<Volume> stepped = SystemVolume::stepped(channels, request->command);
            pa_cvolume volume = info->volume;
            for (int i = 0; i < volume.channels; ++i)
                volume.values[i] = std::min<Volume>(stepped.at(i), PA_VOLUME_MAX);
            if (request->command == VolumeUp && info->mute) {
                pa_operation *unmute =
                    pa_context_set_sink_mute_by_index(context, info->index, 0, nullptr, nullptr);
                if (unmute)
                    pa_operation_unref(unmute);
            }
            operation = pa_context_set_sink_volume_by_index(context, info->index, &volume,
                                                            &Pulse::done, self);
        }
        if (operation)
            pa_operation_unref(operation);
        else
            self->report(false);
    }

    static void done(pa_context *, int success, void *data)
    {
        static_cast<Pulse *>(data)->report(success != 0);
    }

    void failAll()
    {
        for (std::size_t i = 0; i < pending.size(); ++i)
            report(false);
        pending.clear();
    }

    void report(bool done)
    {
        QMetaObject::invokeMethod(
            owner,
            [volume = QPointer<SystemVolume>(owner), done] {
                if (volume)
                    emit volume->applied(done);
            },
            Qt::QueuedConnection);
    }

    SystemVolume *owner;
    pa_threaded_mainloop *loop = nullptr;
    pa_context *context = nullptr;
    std::deque<Command> pending;
    std::vector<Request *> inFlight; // asked for the output, not answered yet
};

SystemVolume::SystemVolume() : m_pulse(std::make_unique<Pulse>(this)) {}

SystemVolume::~SystemVolume() = default;

SystemVolume &SystemVolume::instance()
{
    static SystemVolume *volume = new SystemVolume;
    return *volume;
}

void SystemVolume::run(Command command)
{
    m_pulse->run(command);
}
