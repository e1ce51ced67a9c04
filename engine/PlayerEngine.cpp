// The engine object (see the header).
#include "PlayerEngine.h"

#include <algorithm>

#include "EngineText.h"
#include "Notifier.h"
#include "Recorder.h"
#include "Session.h"

namespace lxengine {

PlayerEngine::PlayerEngine(const LXNotifyTarget& target)
    : notifier_(std::make_shared<Notifier>(target)), recorder_(std::make_shared<Recorder>()) {}

PlayerEngine::~PlayerEngine() {
    notifier_->Close();
    recorder_->Stop();
    RetireCurrent();
    for (auto& s : retired_) s->Join();
    retired_.clear();
}

LXRESULT PlayerEngine::QueryInterface(const LXIID& iid, void** out) {
    if (out == nullptr) return LX_E_POINTER;
    if (iid == IID_ILXUnknown || iid == IID_IPlayerEngine) {
        *out = static_cast<IPlayerEngine*>(this);
    } else if (iid == IID_IPlayerOption) {
        *out = static_cast<IPlayerOption*>(this);
    } else if (iid == IID_IPlayerProxy) {
        *out = static_cast<IPlayerProxy*>(this);
    } else {
        *out = nullptr;
        return LX_E_NOINTERFACE;
    }
    AddRef();
    return LX_OK;
}

uint32_t PlayerEngine::AddRef() { return ++refs_; }

uint32_t PlayerEngine::Release() {
    const uint32_t left = --refs_;
    if (left == 0) delete this;
    return left;
}

int PlayerEngine::GetState() { return notifier_->LastState(); }

void PlayerEngine::RetireCurrent() {
    if (!current_) return;
    current_->RequestStop();
    retired_.push_back(std::move(current_));
    current_.reset();
}

void PlayerEngine::ReapFinished() {
    for (auto it = retired_.begin(); it != retired_.end();) {
        if ((*it)->Finished()) {
            (*it)->Join();
            it = retired_.erase(it);
        } else {
            ++it;
        }
    }
}

size_t PlayerEngine::LiveSessions() const { return retired_.size() + (current_ ? 1 : 0); }

float PlayerEngine::Gain() const {
    if (mute_) return 0.0f;
    const float v = static_cast<float>(volume_) / 100.0f;
    return v * v;  // closer to how loud the steps sound than a straight line
}

LXRESULT PlayerEngine::Open(const char16_t* address, int32_t /*flags*/) {
    if (address == nullptr || *address == 0) return LX_E_INVALIDARG;
    recorder_->Stop();
    RetireCurrent();
    ReapFinished();
    Session::Config config;
    config.address = ToUtf8(address);
    config.proxy = proxy_;
    config.bufferSeconds = bufferSeconds_;
    config.nullOutput = output_ == LXOUTPUT_NULL;
    config.spectrum = spectrum_;
    config.gain = Gain();
    config.notifier = notifier_;
    config.recorder = recorder_;
    config.generation = notifier_->NewGeneration();
    notifier_->PostState(config.generation, LXSTATE_OPENING);
    current_ = std::make_shared<Session>(std::move(config));
    current_->Start();
    return LX_OK;
}

LXRESULT PlayerEngine::Play() {
    if (!current_) return LX_E_UNEXPECTED;
    current_->Play();
    return LX_OK;
}

LXRESULT PlayerEngine::Pause() { return current_ ? current_->Pause() : LX_E_UNEXPECTED; }

LXRESULT PlayerEngine::Stop() {
    recorder_->Stop();
    RetireCurrent();
    ReapFinished();
    notifier_->PostState(notifier_->NewGeneration(), LXSTATE_STOPPED);
    return LX_OK;
}

LXRESULT PlayerEngine::Seek(int64_t position) { return current_ ? current_->Seek(position) : LX_E_UNEXPECTED; }

LXRESULT PlayerEngine::GetPosition(int64_t* position) {
    if (position == nullptr) return LX_E_POINTER;
    *position = current_ ? current_->Position() : 0;
    return LX_OK;
}

LXRESULT PlayerEngine::SetVolume(int32_t volume) {
    volume_ = std::clamp(volume, 0, 100);
    if (current_) current_->SetGain(Gain());
    return LX_OK;
}

LXRESULT PlayerEngine::SetMute(bool mute) {
    mute_ = mute;
    if (current_) current_->SetGain(Gain());
    return LX_OK;
}

uint32_t PlayerEngine::GetGeneration() { return notifier_->Generation(); }

int32_t PlayerEngine::GetStreamTitle(char16_t* buffer, int32_t capacity) {
    if (buffer == nullptr || capacity <= 0) return 0;
    const std::u16string title = current_ ? current_->Title() : std::u16string();
    const size_t n = std::min(title.size(), static_cast<size_t>(capacity - 1));
    std::copy_n(title.data(), n, buffer);
    buffer[n] = 0;
    return static_cast<int32_t>(n);
}

LXRESULT PlayerEngine::GetMediaInfo(LXMediaInfo* info) {
    if (info == nullptr) return LX_E_POINTER;
    *info = current_ ? current_->MediaInfo() : LXMediaInfo{};
    return LX_OK;
}

LXRESULT PlayerEngine::StartRecord(const char16_t* path, int64_t limit, IAsyncCallback* callback, int32_t formatTag,
                                   int32_t flag) {
    if (path == nullptr || *path == 0 || limit < 0) return LX_E_INVALIDARG;
    if (formatTag != LXRECORD_MP3 && formatTag != LXRECORD_PCM) return LX_E_INVALIDARG;
    Recorder::Source source;
    if (!current_ || !current_->RecordSource(&source)) {
        recorder_->Stop();
        return LX_E_UNEXPECTED;
    }
    return recorder_->Start(ToUtf8(path), limit, callback, formatTag, flag, source) ? LX_OK : LX_E_FAIL;
}

LXRESULT PlayerEngine::StopRecord(bool /*flag*/) { return recorder_->Stop() ? LX_OK : LX_FALSE; }

LXRESULT PlayerEngine::SetOption(int32_t option, int64_t value) {
    switch (option) {
        case LXOPTION_SPECTRUM:
            spectrum_ = value != 0;
            if (current_) current_->SetSpectrum(spectrum_);
            return LX_OK;
        case LXOPTION_BUFFER_TIME:
            if (value < 0 || value > 60) return LX_E_INVALIDARG;
            bufferSeconds_ = static_cast<int>(value);
            return LX_OK;
        case LXOPTION_AUDIO_OUTPUT:
            if (value != LXOUTPUT_DEVICE && value != LXOUTPUT_NULL) return LX_E_INVALIDARG;
            output_ = static_cast<int>(value);
            return LX_OK;
        default:
            return LX_E_INVALIDARG;
    }
}

LXRESULT PlayerEngine::GetOption(int32_t option, int64_t* value) {
    if (value == nullptr) return LX_E_POINTER;
    switch (option) {
        case LXOPTION_SPECTRUM: *value = spectrum_ ? 1 : 0; return LX_OK;
        case LXOPTION_BUFFER_TIME: *value = bufferSeconds_; return LX_OK;
        case LXOPTION_AUDIO_OUTPUT: *value = output_; return LX_OK;
        default: return LX_E_INVALIDARG;
    }
}

LXRESULT PlayerEngine::SetProxy(const char16_t* text, int32_t type, int32_t enabled) {
    ProxySettings proxy;
    if (enabled != 0) {
        if (!ProxySettings::Parse(text != nullptr ? std::u16string_view(text) : std::u16string_view(), type, &proxy)) {
            return LX_E_INVALIDARG;
        }
    }
    proxy_ = proxy;
    ProxySettings::SetProcessDefault(proxy);
    return LX_OK;
}

}  // namespace lxengine
