#include <QApplication>
#include <QMetaObject>

#include <canberra.h>
#include <dlfcn.h>

#include "editor/desktop/desktop.h"

namespace mus::desktop {

Probe* CurrentProbe();

namespace {

// The freedesktop sound theme through libcanberra, opened at run time so
// that the program also runs (with the plain beep) where it is missing.
class SoundTheme {
public:
    static SoundTheme& Instance()
    {
        static SoundTheme theme;
        return theme;
    }

    // False when the sound could not be started; a failure found later,
    // while it plays, rings the beep from the finish callback.
    bool Play(const char* eventId)
    {
        if (context_ == nullptr) return false;
        ca_proplist* props = nullptr;
        if (proplistCreate_(&props) != CA_SUCCESS) return false;
        proplistSets_(props, CA_PROP_EVENT_ID, eventId);
        proplistSets_(props, CA_PROP_EVENT_DESCRIPTION, eventId);
        const int rc = playFull_(context_, 0, props, &SoundTheme::Finished, nullptr);
        proplistDestroy_(props);
        return rc == CA_SUCCESS;
    }

private:
    SoundTheme()
    {
        library_ = dlopen("libcanberra.so.0", RTLD_NOW | RTLD_LOCAL);
        if (library_ == nullptr) return;
        if (!Resolve(create_, "ca_context_create") || !Resolve(destroy_, "ca_context_destroy") ||
            !Resolve(open_, "ca_context_open") || !Resolve(playFull_, "ca_context_play_full") ||
            !Resolve(proplistCreate_, "ca_proplist_create") || !Resolve(proplistSets_, "ca_proplist_sets") ||
            !Resolve(proplistDestroy_, "ca_proplist_destroy")) {
            return;
        }
        ca_context* context = nullptr;
        if (create_(&context) != CA_SUCCESS) return;
        if (open_(context) != CA_SUCCESS) {
            destroy_(context);
            return;
        }
        context_ = context;
    }

    ~SoundTheme()
    {
        if (context_ != nullptr) destroy_(context_);
        // The library stays loaded: its threads may still be finishing.
    }

    template <typename Fn>
    bool Resolve(Fn& fn, const char* name)
    {
        fn = reinterpret_cast<Fn>(dlsym(library_, name));
        return fn != nullptr;
    }

    // Runs on libcanberra's own thread.
    static void Finished(ca_context*, uint32_t, int error, void*)
    {
        if (error == CA_SUCCESS || error == CA_ERROR_CANCELED) return;
        if (QCoreApplication* app = QCoreApplication::instance()) {
            QMetaObject::invokeMethod(
                app, [] { QApplication::beep(); }, Qt::QueuedConnection);
        }
    }

    void* library_ = nullptr;
    ca_context* context_ = nullptr;
    decltype(&ca_context_create) create_ = nullptr;
    decltype(&ca_context_destroy) destroy_ = nullptr;
    decltype(&ca_context_open) open_ = nullptr;
    decltype(&ca_context_play_full) playFull_ = nullptr;
    decltype(&ca_proplist_create) proplistCreate_ = nullptr;
    decltype(&ca_proplist_sets) proplistSets_ = nullptr;
    decltype(&ca_proplist_destroy) proplistDestroy_ = nullptr;
};

const char* EventId(AlertSound sound)
{
    switch (sound) {
    case AlertSound::Stop: return "dialog-error";
    case AlertSound::Question: return "dialog-question";
    case AlertSound::Exclamation: return "dialog-warning";
    }
    return "dialog-error";
}

} // namespace

void PlaySound(AlertSound sound)
{
    if (Probe* probe = CurrentProbe()) probe->SoundPlayed(sound);
    if (!SoundTheme::Instance().Play(EventId(sound))) QApplication::beep();
}

} // namespace mus::desktop
