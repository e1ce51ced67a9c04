// The playback controller: engine loading and creation, play/stop/record, the playback
// announcement to the companion application. Runs on the main window's thread; MeasureSpeed also
// runs on the speed-test worker.
#include "playback/Media.h"

#include <dlfcn.h>

#include <cstring>

#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/SharedMemory.h"
#include "platform/Text.h"
#include "platform/Trace.h"
#include "storage/Config.h"
#include "storage/TreeNode.h"

uint32_t ReadBlockHandle(const void* block, size_t offset) {
    unsigned char b[4];
    std::memcpy(b, static_cast<const unsigned char*>(block) + offset, 4);
    return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
           static_cast<uint32_t>(b[3]) << 24;
}

void WriteBlockHandle(void* block, size_t offset, uint32_t handle) {
    const unsigned char b[4] = {static_cast<unsigned char>(handle), static_cast<unsigned char>(handle >> 8),
                                static_cast<unsigned char>(handle >> 16), static_cast<unsigned char>(handle >> 24)};
    std::memcpy(static_cast<unsigned char*>(block) + offset, b, 4);
}

namespace {

uint32_t HandleValue(HWND hwnd) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hwnd)); }

// The companion's folder from the data-exchange block: UTF-16 up to the first zero.
std::u16string BlockFolder(const void* block) {
    const unsigned char* p = static_cast<const unsigned char*>(block) + kDataExchangeCompanionFolder;
    const size_t units = (kDataExchangeSize - kDataExchangeCompanionFolder) / 2;
    std::u16string folder;
    for (size_t i = 0; i < units; ++i) {
        const char16_t c = static_cast<char16_t>(p[2 * i] | p[2 * i + 1] << 8);
        if (c == 0) break;
        folder.push_back(c);
    }
    return folder;
}

}  // namespace

CMedia::CMedia() = default;

CMedia::~CMedia() {
    if (engine_) {
        engine_->Release();
        engine_ = nullptr;
    }
    {
        std::lock_guard<std::mutex> lock(lib_mutex_);
        if (library_) dlclose(library_);
        library_ = nullptr;
        create_ = nullptr;
        measure_ = nullptr;
    }
    companion_block_.reset();
}

void CMedia::SetCurrentItem(TreeNode* item) {
    current_ = item;
    CConfig::Instance().currentItem = item;
}

std::vector<std::u16string> CMedia::EngineLibraryFolders() const {
    std::vector<std::u16string> folders;
    folders.push_back(ProgramFolder());
    if (data_exchange_) {
        std::u16string f = BlockFolder(data_exchange_);
        if (!f.empty()) folders.push_back(f);
    }
    std::u16string installed;
    if (GetCompanionInstallPath(&installed) && !installed.empty()) folders.push_back(installed);
    return folders;
}

bool CMedia::LoadFile(const std::string& native_path) {
    void* lib = dlopen(native_path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib) return false;
    auto create = reinterpret_cast<LXCreatePlayerEngineFn>(dlsym(lib, "CreatePlayerEngine"));
    auto measure = reinterpret_cast<LXMeasureStreamSpeedFn>(dlsym(lib, "MeasureStreamSpeed"));
    if (!create) {
        LX_TRACE("no CreatePlayerEngine in " + native_path);
        dlclose(lib);
        return false;
    }
    library_ = lib;
    create_ = create;
    measure_ = measure;
    return true;
}

bool CMedia::LoadEngineLibrary() {
    const std::vector<std::u16string> folders = EngineLibraryFolders();
    std::lock_guard<std::mutex> lock(lib_mutex_);
    if (create_) return true;
    for (const std::u16string& folder : folders) {
        if (folder.empty()) continue;
        if (LoadFile(NativePath(JoinPath(folder, Utf8ToUtf16(LXPLAYER_LIBRARY_NAME))))) return true;
    }
    if (LoadFile(LXPLAYER_LIBRARY_NAME)) return true;
    LX_TRACE("libLXPlayer.so not found");
    return false;
}

bool CMedia::LoadEngineLibraryFrom(const std::u16string& file) {
    std::lock_guard<std::mutex> lock(lib_mutex_);
    if (create_) return true;
    return LoadFile(NativePath(file));
}

void CMedia::UseEngineExports(LXCreatePlayerEngineFn create, LXMeasureStreamSpeedFn measure) {
    std::lock_guard<std::mutex> lock(lib_mutex_);
    create_ = create;
    measure_ = measure;
}

bool CMedia::PostNotification(void* context, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return PostMessage(static_cast<HWND>(context), message, wParam, lParam);
}

bool CMedia::CreateEngine() {
    LXCreatePlayerEngineFn create;
    {
        std::lock_guard<std::mutex> lock(lib_mutex_);
        create = create_;
    }
    if (!create) return false;
    if (engine_) return true;
    LXNotifyTarget target;
    target.post = &CMedia::PostNotification;
    target.context = notify_;
    IPlayerEngine* engine = nullptr;
    create(&engine, &target);
    if (!engine) {
        LX_TRACE("the engine could not be created");
        return false;
    }
    engine_ = engine;
    IPlayerOption* option = nullptr;
    if (engine_->QueryInterface(IID_IPlayerOption, reinterpret_cast<void**>(&option)) >= 0 && option) {
        option->SetOption(LXOPTION_SPECTRUM, 1);
        if (buffer_time_ >= 0) option->SetOption(LXOPTION_BUFFER_TIME, buffer_time_);
        if (audio_output_ != LXOUTPUT_DEVICE) option->SetOption(LXOPTION_AUDIO_OUTPUT, audio_output_);
        option->Release();
    }
    if (proxy_set_) SetProxy(proxy_text_, proxy_type_, proxy_enabled_);
    return true;
}

bool CMedia::EnsureEngine() {
    if (engine_) return true;
    return LoadEngineLibrary() && CreateEngine();
}

HWND CMedia::Reachable(uint32_t handle) const {
    // 0 means none and 0xFFFFFFFF marks a block this program created. Handles of other processes
    // cannot be reached through a bare number here, and our own window must never silence itself.
    if (handle == 0 || handle == 0xFFFFFFFFu) return nullptr;
    HWND hwnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(handle));
    if (hwnd == notify_ || !IsWindow(hwnd)) return nullptr;
    return hwnd;
}

void CMedia::Announce() {
    const uint32_t own = HandleValue(notify_);
    if (companion_block_) {
        WriteBlockHandle(companion_block_->data(), kExeInterfaceOwnWindow, own);
        std::memcpy(companion_copy_, companion_block_->data(), kExeInterfaceSize);
    } else {
        auto block = std::make_unique<SharedMemory>();
        if (block->Create(kExeInterfaceName, kExeInterfaceSize)) {
            if (block->AlreadyExisted()) {
                WriteBlockHandle(block->data(), kExeInterfaceOwnWindow, own);
                std::memcpy(companion_copy_, block->data(), kExeInterfaceSize);
            } else {
                std::memset(block->data(), 0, kExeInterfaceSize);
                WriteBlockHandle(block->data(), kExeInterfaceCompanionWindow, 0xFFFFFFFFu);
                WriteBlockHandle(block->data(), 1560, 0);
                WriteBlockHandle(block->data(), 1564, 0);
                WriteBlockHandle(block->data(), 1572, 0);
                WriteBlockHandle(block->data(), kExeInterfaceOwnWindow, own);
                std::memcpy(companion_copy_, block->data(), kExeInterfaceSize);
                companion_block_ = std::move(block);
            }
        } else {
            LX_TRACE("the companion block could not be opened");
        }
    }
    if (HWND companion = Reachable(ReadBlockHandle(companion_copy_, kExeInterfaceCompanionWindow))) {
        SendMessage(companion, WM_LX_STOP_REQUEST, 1, 0);
    }
    if (data_exchange_) {
        if (HWND companion = Reachable(ReadBlockHandle(data_exchange_, kDataExchangeCompanionWindow))) {
            PostMessage(companion, WM_LX_STOP_REQUEST, 1, 0);
        }
    }
}

bool CMedia::Play() {
    Announce();
    if (!current_ || current_->GetType() == TYPE_GROUP) return false;
    if (!EnsureEngine()) return false;
    if (current_->GetType() == TYPE_FILE) {
        if (play_state_ == LXSTATE_PAUSED && address_ == current_->GetUrl()) return engine_->Play() >= 0;
        Stop();
        if (!IsRegularFile(current_->GetUrl())) return false;
    } else {
        Stop();
    }
    OpenCurrent();
    return engine_->Play() >= 0;
}

bool CMedia::Replay() {
    if (!current_ || current_->GetType() == TYPE_GROUP) return false;
    if (!EnsureEngine()) return false;
    OpenCurrent();
    return engine_->Play() >= 0;
}

void CMedia::OpenCurrent() {
    address_ = current_ ? current_->GetUrl() : std::u16string();
    if (!engine_) return;
    engine_->SetVolume(volume_);
    engine_->SetMute(mute_);
    engine_->Open(address_.c_str(), 0);
}

void CMedia::Stop() {
    if (!engine_) return;
    info_.duration = 0;
    StopRecord(true, -1);
    engine_->Stop();
}

void CMedia::Pause() {
    if (engine_) engine_->Pause();
}

void CMedia::Seek(int64_t position_100ns) {
    if (engine_) engine_->Seek(position_100ns);
}

void CMedia::SetMute(bool mute) {
    mute_ = mute;
    if (engine_) engine_->SetMute(mute);
}

void CMedia::SetVolume(int volume) {
    volume_ = volume < 0 ? 0 : (volume > 100 ? 100 : volume);
    if (engine_) engine_->SetVolume(volume_);
}

void CMedia::SetState(int state) {
    if (engine_) play_state_ = state;
}

int CMedia::GetBitRate() {
    if (engine_) engine_->GetMediaInfo(&info_);
    return info_.bitRate;
}

std::u16string CMedia::GetCurrentName() const {
    if (!current_ || current_->GetType() == TYPE_GROUP) return {};
    return current_->GetName();
}

int CMedia::GetPositionPercent(int64_t position_100ns) {
    if (info_.duration <= 0 && engine_) engine_->GetMediaInfo(&info_);
    if (info_.duration <= 0) return 0;
    return static_cast<int>(position_100ns * 100 / info_.duration);
}

bool CMedia::IsCurrentGeneration(LPARAM generation) {
    if (generation == 0 || !engine_) return true;
    return static_cast<uint32_t>(generation) == engine_->GetGeneration();
}

bool CMedia::StartRecord(const std::u16string& path, WPARAM wParam, LPARAM lParam) {
    StopRecord(true, -1);
    // Each missing folder is made from the left, up to the folder that holds the file.
    const size_t last = path.find_last_of(u"/\\");
    if (last != std::u16string::npos) {
        const std::u16string folder = path.substr(0, last);
        for (size_t pos = path.find_first_of(u"/\\", 1); pos != std::u16string::npos && pos < last;
             pos = path.find_first_of(u"/\\", pos + 1)) {
            const std::u16string prefix = path.substr(0, pos);
            if (!PathExists(prefix)) EnsureDirectory(prefix);
        }
        if (!folder.empty() && !PathExists(folder) && !EnsureDirectory(folder)) {
            Trace("Media", u"cannot create the recording folder " + folder);
        }
    }
    if (!engine_) {
        LX_TRACE("no engine to record with");
        return false;
    }
    const LXRESULT r = engine_->StartRecord(path.c_str(), 0, nullptr, LXRECORD_MP3, 0);
    if (r < 0) {
        Trace("Media", u"the engine refused to record to " + path);
        return false;
    }
    recording_ = true;
    SendMessage(notify_, WM_LX_RECORD_STARTED, wParam, lParam);
    return true;
}

void CMedia::StopRecord(bool notify, LPARAM lParam) {
    if (!engine_) return;
    if (recording_ && notify) SendMessage(notify_, WM_LX_RECORD_STOPPED, 0, lParam);
    engine_->StopRecord(false);
    recording_ = false;
}

int CMedia::MeasureSpeed(TreeNode* item, const std::u16string& address) {
    if (!item || item->GetType() != TYPE_RADIO) return -1;
    LXMeasureStreamSpeedFn measure;
    {
        std::lock_guard<std::mutex> lock(lib_mutex_);
        measure = measure_;
    }
    if (!measure && LoadEngineLibrary()) {
        std::lock_guard<std::mutex> lock(lib_mutex_);
        measure = measure_;
    }
    const int ms = measure ? measure(address.c_str()) : -1;
    SendMessage(notify_, WM_LX_SPEED_MEASURED, static_cast<WPARAM>(static_cast<intptr_t>(ms)),
                reinterpret_cast<LPARAM>(item));
    return ms;
}

LXRESULT CMedia::SetProxy(const std::u16string& text, int type, int enabled) {
    proxy_set_ = true;
    proxy_text_ = text;
    proxy_type_ = type;
    proxy_enabled_ = enabled;
    if (!engine_) return LX_FALSE;
    IPlayerProxy* proxy = nullptr;
    if (engine_->QueryInterface(IID_IPlayerProxy, reinterpret_cast<void**>(&proxy)) < 0 || !proxy) return LX_E_NOINTERFACE;
    const LXRESULT r = proxy->SetProxy(text.c_str(), type, enabled);
    proxy->Release();
    return r;
}

LXRESULT CMedia::StopRecordForRecognition() {
    if (!engine_) return LX_E_FAIL;
    return engine_->StopRecord(true);
}
