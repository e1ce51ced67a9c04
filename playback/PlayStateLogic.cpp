// The main window's play-state logic; runs on the main window's thread, and its speed-test
// worker on its own thread.
//
// Play states (the engine's, mirrored in play_state_) and who moves between them:
//
//   0 ready --PlayRequest--> 7 opening --> 4 connected --> 10 buffering --> 1 playing
//                                 |                                  ^        |  ^
//                                 v                                  +--------+  | PlayRequest
//                     6 failed / 8 unsupported / 9 no output           3 paused <+ PauseRequest
//   1 playing --stream breaks--> 5 ended --ReconnectOrFail--> 7 opening (Replay, up to 10 times)
//                                                         \-> "连接失败" and the connect notice
//   any --StopRequest / CMedia::Stop--> 2 stopped
//
// Transition table (function that reacts):
//   9232 state 0..10           OnState         status, pictures, tray tip, speeds, reconnects
//   9234 buffer percent        OnBuffer        "缓冲中:" / "播放中"
//   9235 position              OnPosition      LED clock, position slider
//   9238 spectrum values       OnSpectrum      drawn at most every 40 ms, always freed
//   timer 4 (500 ms)           OnConnectTimer  "正在连接" / "重新连接" with 0-3 dots
//   timer 3 (2 h)              OnRecordLimit   recording stops by itself
//   5035 / 5036                OnRecordStarted / OnRecordStopped
//   5050 / 5051 / 5052         OnSpeedMeasured / OnSpeedTestDone / OnSpeedTestItem
//   5065                       StopRequest (the companion starts playing)
// Notifications of an older engine generation (after a new Open or Stop) are dropped first.
#include "playback/PlayStateLogic.h"

#include <cstdlib>

#include "engine/include/LXPlayer.h"
#include "platform/SharedMemory.h"
#include "platform/Text.h"
#include "platform/Trace.h"
#include "playback/Media.h"
#include "playback/RecordFileName.h"
#include "storage/Config.h"
#include "storage/LastListManagement.h"
#include "storage/LastPlayStore.h"
#include "storage/MyFile.h"
#include "storage/Radio.h"
#include "storage/TreeNode.h"

namespace {

constexpr char16_t kConnectNotice[] = u"抱歉对方电台网络故障,暂时未能连通,请稍后再试.";
constexpr int kConnectNoticeSeconds = 5;
constexpr char16_t kRecordGroup[] = u"默认";
constexpr int kManualTipSeconds = 4;
constexpr uint64_t kSpectrumIntervalMs = 40;

bool IsRadio(const TreeNode* n) { return n && n->GetType() == TYPE_RADIO; }
bool IsFile(const TreeNode* n) { return n && n->GetType() == TYPE_FILE; }

bool InFavouritesRoot(const TreeNode* n) {
    return n && n->GetParent() && n->GetParent()->GetName() == kFavouritesRoot;
}

// True when `node` is `ancestor` or lies below it.
bool IsWithin(const TreeNode* node, const TreeNode* ancestor) {
    for (const TreeNode* p = node; p; p = p->GetParent()) {
        if (p == ancestor) return true;
    }
    return false;
}

INowPlayingDisplay g_no_display;
ISpectrumView g_no_spectrum;
IPlayControls g_no_controls;
IRecordButton g_no_record;
ITrayTip g_no_tray;
ITipWindows g_no_tips;
IStationTrees g_no_trees;
IFilePanel g_no_files;
ISpeedTestView g_no_speed_test;

template <class T>
T* OrNone(T* view, T* none) {
    return view ? view : none;
}

}  // namespace

std::u16string TrayTipText(const std::u16string& name) {
    if (name.size() <= 30) return name;
    size_t cut = 30;
    if (name[cut - 1] >= 0xD800 && name[cut - 1] <= 0xDBFF) --cut;  // keep a surrogate pair whole
    return name.substr(0, cut) + u"...";
}

CPlayStateLogic::CPlayStateLogic(CMedia& media, const PlayViews& views, IPlayClock& clock)
    : media_(media), views_(views), clock_(clock) {
    views_.display = OrNone(views_.display, &g_no_display);
    views_.spectrum = OrNone(views_.spectrum, &g_no_spectrum);
    views_.controls = OrNone(views_.controls, &g_no_controls);
    views_.record = OrNone(views_.record, &g_no_record);
    views_.tray = OrNone(views_.tray, &g_no_tray);
    views_.tips = OrNone(views_.tips, &g_no_tips);
    views_.trees = OrNone(views_.trees, &g_no_trees);
    views_.files = OrNone(views_.files, &g_no_files);
    views_.speedTest = OrNone(views_.speedTest, &g_no_speed_test);

    const CConfig& config = CConfig::Instance();
    volume_ = config.Volume < 0 ? 0 : (config.Volume > 100 ? 100 : config.Volume);
    media_.SetVolume(volume_);
    media_.SetMute(config.Mutx != 0);
    media_.SetBufferTime(config.BufferTime);

    data_exchange_ = std::make_unique<SharedMemory>();
    if (data_exchange_->Create(kDataExchangeName, kDataExchangeSize)) {
        media_.SetDataExchange(data_exchange_->data());
    } else {
        LX_TRACE("the data-exchange block could not be opened");
        data_exchange_.reset();
    }
}

CPlayStateLogic::~CPlayStateLogic() {
    speed_stop_.Set();
    speed_idle_ = true;
    // The worker may be inside CMedia::MeasureSpeed's send to this thread: keep answering sends
    // while waiting for it to end.
    while (speed_running_) {
        MSG msg;
        PeekMessage(&msg, false);
        speed_done_.Wait(10);
    }
    JoinSpeedWorker();
    media_.SetDataExchange(nullptr);
}

void CPlayStateLogic::AttachStores(LastPlayStore* lastPlay, CLastListManagement* recent) {
    last_play_ = lastPlay;
    recent_ = recent;
}

bool CPlayStateLogic::LateInit() {
    if (data_exchange_) {
        WriteBlockHandle(data_exchange_->data(), kDataExchangeOwnWindow,
                         static_cast<uint32_t>(reinterpret_cast<uintptr_t>(Window())));
    }
    return media_.LoadEngineLibrary() && media_.CreateEngine();
}

HWND CPlayStateLogic::Window() const { return media_.GetNotifyWindow(); }

void CPlayStateLogic::SetStatus(const std::u16string& text) {
    status_ = text;
    views_.display->SetStatus(text);
}

// ---------------------------------------------------------------------------------------------
// Requests

void CPlayStateLogic::PlayRequest() {
    spectrum_enabled_ = false;
    last_spectrum_tick_ = 0;
    connect_anim_ = 0;
    views_.record->EnableRecordButton(false);
    views_.spectrum->ClearSpectrum();
    views_.display->SetBitRate(u"");

    TreeNode* item = selected_ ? selected_ : media_.GetCurrentItem();
    if (!item) return;
    if (IsRadio(item)) connect_start_ = clock_.TickMs();
    SetStatus(kStatusConnecting);
    clock_.SetTimer(kConnectTimer, kConnectTimerMs);
    media_.SetCurrentItem(item);
    views_.display->SetTitle(media_.GetCurrentName());
    if (!media_.Play() && selected_) PostMessage(Window(), LXMSG_STATE, LXSTATE_OPEN_FAILED, 0);
    views_.controls->SetPlayButtonPlaying(true);
    playing_ = true;
    RecordPlay(item);
    if (IsRadio(item)) {
        views_.controls->ShowPositionSlider(false);
    } else if (IsFile(item)) {
        views_.controls->ShowPositionSlider(true);
        views_.controls->EnablePositionSlider(true);
    }
}

void CPlayStateLogic::RecordPlay(TreeNode* item) {
    if (!IsRadio(item) && !IsFile(item)) return;
    if (last_play_) {
        const int type = IsFile(item) ? LastPlayRecord::kLocalFile
                                      : (InFavouritesRoot(item) ? LastPlayRecord::kFavoriteStation
                                                                : LastPlayRecord::kCatalogueStation);
        last_play_->Save(item->id, LastPlayStore::GroupPathOf(item), item->GetName(), type);
    }
    if (recent_ && IsRadio(item) && !(recent_->Root() && IsWithin(item, recent_->Root()))) {
        recent_->Append(item, nullptr, nullptr);
    }
}

void CPlayStateLogic::PlayItemRequest(TreeNode* item) {
    selected_ = item;
    reconnects_ = 0;
    media_.Stop();
    PlayRequest();
}

void CPlayStateLogic::PlayButtonClick() {
    reconnects_ = 0;
    if (playing_) {
        playing_ = false;
        if (IsFile(media_.GetCurrentItem())) {
            PauseRequest();
        } else {
            StopRequest();
        }
    } else {
        playing_ = true;
        PlayRequest();
    }
}

void CPlayStateLogic::StopRequest() {
    spectrum_enabled_ = false;
    views_.display->SetTitle(u"");
    SetStatus(kStatusReady);
    views_.display->ShowPlayPicture(false);
    views_.display->ShowPausePicture(false);
    views_.display->SetLedTime(0);
    views_.spectrum->ClearSpectrum();
    views_.display->SetBitRate(u"");
    views_.controls->SetPositionSlider(0);
    views_.controls->EnablePositionSlider(false);
    views_.controls->SetPlayButtonPlaying(false);
    media_.SetCurrentItem(nullptr);
    media_.Stop();
    playing_ = false;
    clock_.KillTimer(kConnectTimer);
}

void CPlayStateLogic::PauseRequest() {
    if (!IsFile(media_.GetCurrentItem())) return;
    SetStatus(kStatusPaused);
    views_.display->ShowPlayPicture(false);
    views_.display->ShowPausePicture(true);
    views_.controls->SetPlayButtonPlaying(false);
    media_.Pause();
    playing_ = false;
}

TreeNode* CPlayStateLogic::Neighbour(bool forward) const {
    TreeNode* current = media_.GetCurrentItem();
    if (IsRadio(current)) {
        return forward ? NextOfType(current, TYPE_RADIO) : PrevOfType(current, TYPE_RADIO);
    }
    if (IsFile(current)) {
        TreeNode* n = forward ? current->GetNext() : current->GetPrev();
        return IsFile(n) ? n : nullptr;
    }
    return nullptr;
}

void CPlayStateLogic::MoveTo(bool forward) {
    TreeNode* n = Neighbour(forward);
    if (!n) return;
    if (IsRadio(n)) {
        views_.trees->SelectStation(n, InFavouritesRoot(n));
    } else {
        views_.files->SelectFile(n);
    }
    selected_ = n;
    // A new station gets its own ten reconnects.
    reconnects_ = 0;
    media_.Stop();
    PlayRequest();
}

void CPlayStateLogic::Next() { MoveTo(true); }
void CPlayStateLogic::Previous() { MoveTo(false); }

void CPlayStateLogic::PlayNextFile() {
    TreeNode* n = Neighbour(true);
    if (!IsFile(n)) return;
    views_.files->SelectFile(n);
    selected_ = n;
    media_.Stop();
    PlayRequest();
}

// ---------------------------------------------------------------------------------------------
// Volume, mute, seek

void CPlayStateLogic::SetWindowVolume(int volume, bool moveSlider) {
    volume_ = volume < 0 ? 0 : (volume > 100 ? 100 : volume);
    CConfig::Instance().Volume = volume_;
    if (!media_.GetMute()) media_.SetVolume(volume_);
    if (moveSlider) views_.display->SetVolumeSlider(volume_);
}

void CPlayStateLogic::VolumeUp() {
    if (!media_.GetMute()) SetWindowVolume(volume_ + 3, false);
}

void CPlayStateLogic::VolumeDown() {
    if (!media_.GetMute()) SetWindowVolume(volume_ - 3, false);
}

void CPlayStateLogic::SetWindowMute(bool mute) {
    CConfig::Instance().Mutx = mute ? 1 : 0;
    media_.SetMute(mute);
    views_.display->SetMuteLook(mute);
    if (!mute) media_.SetVolume(volume_);
}

void CPlayStateLogic::ToggleMute() { SetWindowMute(!media_.GetMute()); }

void CPlayStateLogic::OnPositionSlider(int code, int value) {
    if (code == 2 || code == 3 || code == 5) {
        dragging_ = true;
        return;
    }
    if (code != 4) return;
    dragging_ = false;
    if ((play_state_ == LXSTATE_PLAYING || play_state_ == LXSTATE_PAUSED) && IsFile(media_.GetCurrentItem())) {
        media_.GetPositionPercent(0);  // fetches the duration when it is not known yet
        media_.Seek(static_cast<int64_t>(value) * media_.GetDuration() / 100);
    }
}

// ---------------------------------------------------------------------------------------------
// Engine notifications

bool CPlayStateLogic::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    LRESULT r = 0;
    switch (msg) {
        case LXMSG_STATE:
            if (media_.IsCurrentGeneration(lParam)) OnState(static_cast<int>(wParam));
            break;
        case LXMSG_BUFFER:
            if (media_.IsCurrentGeneration(lParam)) OnBuffer(static_cast<int>(wParam));
            break;
        case LXMSG_POSITION:
            OnPosition(static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(lParam)) << 32) |
                                            static_cast<uint32_t>(wParam)));
            break;
        case LXMSG_SPECTRUM:
            OnSpectrum(reinterpret_cast<const float*>(wParam), static_cast<int>(lParam));
            LXFreeNotifyValues(reinterpret_cast<const void*>(wParam));
            break;
        case WM_TIMER:
            if (wParam == kConnectTimer) {
                OnConnectTimer();
            } else if (wParam == kRecordLimitTimer) {
                OnRecordLimit();
            } else {
                return false;
            }
            break;
        case WM_LX_RECORD_STARTED:
            OnRecordStarted(reinterpret_cast<const char16_t*>(wParam), static_cast<int>(lParam));
            break;
        case WM_LX_RECORD_STOPPED:
            OnRecordStopped(static_cast<int>(lParam));
            break;
        case WM_LX_SPEED_MEASURED:
            OnSpeedMeasured(reinterpret_cast<TreeNode*>(lParam), static_cast<int>(static_cast<intptr_t>(wParam)));
            break;
        case WM_LX_SPEED_TEST_DONE:
            OnSpeedTestDone();
            break;
        case WM_LX_SPEED_TEST_ITEM:
            OnSpeedTestItem(reinterpret_cast<TreeNode*>(wParam));
            break;
        case WM_LX_STOP_REQUEST:
            StopRequest();
            break;
        case WM_LX_ITEM_REMOVING:
            r = OnItemRemoving(reinterpret_cast<TreeNode*>(wParam)) ? 1 : 0;
            break;
        default:
            return false;
    }
    if (result) *result = r;
    return true;
}

void CPlayStateLogic::OnState(int state) {
    play_state_ = state;
    media_.SetState(state);
    TreeNode* current = media_.GetCurrentItem();
    INowPlayingDisplay& display = *views_.display;
    switch (state) {
        case LXSTATE_READY:
            SetStatus(kStatusReady);
            break;
        case LXSTATE_PLAYING: {
            SetStatus(kStatusPlaying);
            display.ShowPlayPicture(true);
            display.ShowPausePicture(false);
            display.SetBitRate(Format(u"%dKbps", media_.GetBitRate()));
            clock_.KillTimer(kConnectTimer);
            display.Redraw();
            views_.record->EnableRecordButton(IsRadio(current));
            display.SetTitle(media_.GetCurrentName());
            reconnects_ = 0;
            playing_ = true;
            spectrum_enabled_ = true;
            break;
        }
        case LXSTATE_STOPPED:
            views_.tray->SetTrayTip(kAppTitle);
            display.SetTitle(u"");
            SetStatus(kStatusReady);
            display.SetBitRate(u"");
            display.ShowPlayPicture(false);
            display.ShowPausePicture(false);
            views_.controls->SetPlayButtonPlaying(false);
            recording_file_ = nullptr;
            views_.record->EnableRecordButton(false);
            display.SetLedTime(0);
            views_.controls->SetPositionSlider(0);
            views_.spectrum->ClearSpectrum();
            playing_ = false;
            break;
        case LXSTATE_PAUSED:
            SetStatus(kStatusPaused);
            display.ShowPlayPicture(false);
            display.ShowPausePicture(true);
            break;
        case LXSTATE_CONNECTED:
            views_.controls->SetPositionSlider(0);
            display.SetLedTime(0);
            last_position_ = 0;
            views_.controls->SetPlayButtonPlaying(true);
            views_.tray->SetTrayTip(TrayTipText(media_.GetCurrentName()));
            if (IsRadio(current)) StoreSpeed(current, static_cast<int>(clock_.TickMs() - connect_start_));
            break;
        case LXSTATE_ENDED:
            views_.record->EnableRecordButton(true);
            display.ShowPlayPicture(false);
            display.ShowPausePicture(false);
            display.SetBitRate(u"");
            display.SetTitle(u"");
            display.SetLedTime(0);
            views_.spectrum->ClearSpectrum();
            views_.controls->SetPlayButtonPlaying(false);
            last_position_ = 0;
            playing_ = false;
            views_.tray->SetTrayTip(kAppTitle);
            clock_.KillTimer(kConnectTimer);
            if (IsRadio(current)) {
                ReconnectOrFail();
            } else if (IsFile(current)) {
                SetStatus(kStatusReady);
                views_.controls->SetPositionSlider(0);
                PlayNextFile();
            }
            break;
        case LXSTATE_OPEN_FAILED:
            SetStatus(kStatusFailed);
            views_.record->EnableRecordButton(true);
            display.ShowPlayPicture(false);
            display.ShowPausePicture(false);
            views_.spectrum->ClearSpectrum();
            clock_.KillTimer(kConnectTimer);
            if (IsRadio(current)) {
                StoreSpeed(current, -1);
                ReconnectOrFail();
            } else if (IsFile(current)) {
                PlayNextFile();
            }
            playing_ = false;
            views_.controls->SetPlayButtonPlaying(false);
            break;
        case LXSTATE_OPENING:
            break;
        case LXSTATE_UNSUPPORTED:
        case LXSTATE_OUTPUT_FAILED:
            SetStatus(kStatusFailed);
            clock_.KillTimer(kConnectTimer);
            display.SetBitRate(u"");
            display.ShowPlayPicture(false);
            display.ShowPausePicture(false);
            views_.controls->SetPlayButtonPlaying(false);
            views_.spectrum->ClearSpectrum();
            if (state == LXSTATE_OUTPUT_FAILED) views_.tray->SetTrayTip(kAppTitle);
            break;
        case LXSTATE_BUFFERING:
            views_.controls->SetPlayButtonPlaying(true);
            display.SetLedTime(0);
            views_.spectrum->ClearSpectrum();
            break;
        default:
            break;
    }
}

void CPlayStateLogic::ReconnectOrFail() {
    if (reconnects_ < kMaxReconnects) {
        connect_anim_ = 0;
        clock_.SetTimer(kConnectTimer, kConnectTimerMs);
        SetStatus(kStatusReconnecting);
        media_.Replay();
    } else {
        SetStatus(kStatusFailed);
        if (views_.tray->IsTrayEnabled()) views_.tips->ShowConnectTip(kConnectNotice, kConnectNoticeSeconds);
    }
    ++reconnects_;
}

void CPlayStateLogic::StoreSpeed(TreeNode* station, int ms) {
    if (!IsRadio(station)) return;
    const std::u16string name = station->GetName();
    if (InFavouritesRoot(station)) {
        views_.trees->SetFavouriteSpeed(name, ms);
        return;
    }
    views_.trees->SetCatalogueSpeed(static_cast<CRadio*>(station), ms);
    if (views_.trees->InFavourites(name)) views_.trees->SetFavouriteSpeed(name, ms);
}

void CPlayStateLogic::OnBuffer(int percent) {
    if (percent < 100) {
        views_.display->SetPercent(Format(u"%d%%", percent));
        SetStatus(kStatusBuffering);
    } else if (play_state_ != LXSTATE_STOPPED) {
        SetStatus(kStatusPlaying);
    }
}

void CPlayStateLogic::OnPosition(int64_t position) {
    // Positions carry no generation: one still queued after a stop request must not move the clock.
    if (!media_.GetCurrentItem()) return;
    last_position_ = position;
    const int64_t seconds = position / 10000000;
    if (seconds >= 0) views_.display->SetLedTime(seconds);
    if (IsFile(media_.GetCurrentItem()) && !dragging_) {
        const int percent = media_.GetPositionPercent(position) + 1;
        views_.controls->SetPositionSlider(percent > 100 ? 100 : percent);
    }
}

void CPlayStateLogic::OnSpectrum(const float* values, int count) {
    if (play_state_ != LXSTATE_PLAYING || !spectrum_enabled_ || last_position_ <= 0) return;
    const uint64_t now = clock_.TickMs();
    if (now - last_spectrum_tick_ <= kSpectrumIntervalMs) return;
    last_spectrum_tick_ = now;
    views_.spectrum->DrawSpectrum(values, count);
}

void CPlayStateLogic::OnConnectTimer() {
    std::u16string word;
    if (status_.find(kStatusConnecting) != std::u16string::npos) {
        word = kStatusConnecting;
    } else if (status_.find(kStatusReconnecting) != std::u16string::npos) {
        word = kStatusReconnecting;
    } else {
        return;
    }
    word.append(static_cast<size_t>(connect_anim_ % 4), u'.');
    ++connect_anim_;
    SetStatus(word);
}

// ---------------------------------------------------------------------------------------------
// Recording

void CPlayStateLogic::RecordCommand() {
    if (media_.IsRecording() || play_state_ != LXSTATE_PLAYING) {
        media_.StopRecord(true, kManualTipSeconds);
        return;
    }
    const std::u16string path = RecordFileName(RecordFolder(), media_.GetCurrentName(), clock_.Now());
    media_.StartRecord(path, reinterpret_cast<WPARAM>(kRecordGroup), kManualTipSeconds);
    // The list entry is made even when the engine refused, as the user asked for this file.
    auto* file = new MyFile(path, 0, 0);
    if (!views_.files->AddToFirstGroup(file)) {
        delete file;
        return;
    }
    recording_file_ = file;
    views_.files->ShowLocalTab();
    views_.files->SelectFile(file);
}

void CPlayStateLogic::OnRecordStarted(const char16_t* group, int seconds) {
    record_start_tick_ = clock_.TickMs();
    views_.display->ShowRecordPicture(true);
    views_.record->SetRecordPressed(true);
    std::u16string name = group ? std::u16string(group) : std::u16string();
    if (name.size() > 255) name.resize(255);
    views_.tips->ShowTip(Format(u"开始录音\n保存在:%s分组", name), seconds, kAppTitle);
    clock_.SetTimer(kRecordLimitTimer, kRecordLimitMs);
}

void CPlayStateLogic::OnRecordStopped(int seconds) {
    record_start_tick_ = 0;
    views_.display->ShowRecordPicture(false);
    views_.record->SetRecordPressed(false);
    views_.tips->ShowTip(u"停止录音", seconds, kAppTitle);
    clock_.KillTimer(kRecordLimitTimer);
}

void CPlayStateLogic::OnRecordLimit() {
    views_.tips->ShowTip(u"已经录音超过两小时,自动停止!", -1, kAppTitle);
    media_.StopRecord(false, 0);
    record_start_tick_ = 0;
    views_.display->ShowRecordPicture(false);
    views_.record->SetRecordPressed(false);
    clock_.KillTimer(kRecordLimitTimer);
}

bool CPlayStateLogic::OnItemRemoving(TreeNode* item) {
    if (!item) return true;
    if (media_.IsRecording() && recording_file_ &&
        (item == recording_file_ || item == recording_file_->GetParent())) {
        return false;
    }
    selected_ = nullptr;
    if (recording_file_ && IsWithin(recording_file_, item)) recording_file_ = nullptr;
    // The current item may lie deeper than one level below a removed group.
    if (TreeNode* current = media_.GetCurrentItem(); current && IsWithin(current, item)) StopRequest();
    {
        std::lock_guard<std::mutex> lock(speed_mutex_);
        for (SpeedEntry& e : speed_entries_) {
            if (!e.removed && IsWithin(e.item, item)) e.removed = true;
        }
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Speed test

void CPlayStateLogic::StartSpeedTest() {
    if (!speed_idle_ || speed_running_) return;
    JoinSpeedWorker();
    speed_stop_.Reset();
    speed_done_.Reset();

    // The stations are listed here, on the main thread; the worker reads only this list.
    std::vector<SpeedEntry> entries;
    auto add = [&entries](TreeNode* n) {
        if (IsRadio(n)) entries.push_back(SpeedEntry{n, n->GetUrl(), n->GetName()});
    };
    auto addBelow = [&add](TreeNode* top, bool whole_tree) {
        if (!top) return;
        add(top);
        for (TreeNode* n = NextInTree(top); n && (whole_tree || IsWithin(n, top)); n = NextInTree(n)) add(n);
    };
    if (TreeNode* sel = views_.trees->CatalogueSelection()) {
        if (IsRadio(sel)) {
            add(sel);
        } else {
            addBelow(sel, false);
        }
    } else {
        addBelow(views_.trees->CatalogueFirst(), true);
        addBelow(views_.trees->FavouritesFirst(), true);
    }
    {
        std::lock_guard<std::mutex> lock(speed_mutex_);
        speed_entries_ = std::move(entries);
    }
    speed_idle_ = false;
    views_.speedTest->ShowSpeedTest(true);
    speed_running_ = true;
    speed_worker_ = std::thread(&CPlayStateLogic::SpeedWorker, this);
}

void CPlayStateLogic::SpeedWorker() {
    speed_done_.Reset();
    const HWND hwnd = Window();
    size_t count;
    {
        std::lock_guard<std::mutex> lock(speed_mutex_);
        count = speed_entries_.size();
    }
    for (size_t i = 0; i < count && !speed_idle_; ++i) {
        if (speed_stop_.Wait(10)) {
            speed_idle_ = true;
            speed_done_.Set();
            speed_running_ = false;
            return;
        }
        TreeNode* item;
        std::u16string address;
        {
            std::lock_guard<std::mutex> lock(speed_mutex_);
            if (speed_entries_[i].removed) continue;
            item = speed_entries_[i].item;
            address = speed_entries_[i].address;
        }
        PostMessage(hwnd, WM_LX_SPEED_TEST_ITEM, reinterpret_cast<WPARAM>(item), 0);
        media_.MeasureSpeed(item, address);
    }
    PostMessage(hwnd, WM_LX_SPEED_TEST_DONE, 0, 0);
    speed_done_.Set();
    speed_running_ = false;
}

void CPlayStateLogic::JoinSpeedWorker() {
    if (speed_worker_.joinable()) speed_worker_.join();
}

void CPlayStateLogic::StopSpeedTest() {
    speed_stop_.Set();
    speed_idle_ = true;
    views_.speedTest->ShowSpeedTest(false);
}

void CPlayStateLogic::OnSpeedTestDone() {
    speed_idle_ = true;
    views_.speedTest->ShowSpeedTest(false);
    if (!speed_running_) JoinSpeedWorker();
}

void CPlayStateLogic::OnSpeedTestItem(TreeNode* item) {
    std::lock_guard<std::mutex> lock(speed_mutex_);
    for (const SpeedEntry& e : speed_entries_) {
        if (e.item == item && !e.removed) {
            views_.speedTest->SetSpeedTestText(u"正在测试: " + e.name);
            return;
        }
    }
}

void CPlayStateLogic::OnSpeedMeasured(TreeNode* item, int ms) {
    bool known = false;
    {
        std::lock_guard<std::mutex> lock(speed_mutex_);
        for (const SpeedEntry& e : speed_entries_) {
            if (e.item == item && !e.removed) known = true;
        }
    }
    // A station removed while it was measured is gone: its pointer must not be touched.
    if (known) StoreSpeed(item, ms);
    speed_done_.Set();
}
