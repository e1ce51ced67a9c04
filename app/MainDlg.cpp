#include "app/MainDlg.h"

#include <utility>

#include "app/ArgumentHandOff.h"
#include "net/GetAllRadioResourceEvent.h"
#include "net/GetListenerCountEvent.h"
#include "net/GetListenerCountHandler.h"
#include "net/GetRadioResourceVersionEvent.h"
#include "net/HttpClient.h"
#include "net/ListenerCountRequest.h"
#include "net/RadioResourceUpdate.h"
#include "platform/SharedMemory.h"
#include "platform/Text.h"
#include "platform/Trace.h"
#include "storage/Config.h"
#include "storage/CppSQLite3Exception.h"
#include "storage/SqlWriteQueue.h"

CMainDlg::CMainDlg(std::u16string program_path) : program_path_(std::move(program_path)) {}

CMainDlg::~CMainDlg() {
    GetListenerCountHandler::DestroyInstance();
    GetListenerCountEvent::DestroyAll();
    GetRadioResourceVersionEvent::DestroyAll();
    GetAllRadioResourceEvent::DestroyInstance();
    if (hwnd_) DestroyWindow(hwnd_);
}

bool CMainDlg::Create(HWND owner) {
    owner_ = owner;
    hwnd_ = CreateMessageWindow(this, kMainWindowTitle);
    if (!hwnd_) return false;
    OnInitDialog();
    return true;
}

void CMainDlg::OnInitDialog() {
    try {
        CConfig::Instance().Load();
    } catch (const CppSQLite3Exception& e) {
        LX_TRACE(std::string("configuration not loaded, running with defaults: ") + e.what());
    }
    HttpClient::GetInstance();
    try {
        radio_store_.Load();
    } catch (const CppSQLite3Exception& e) {
        LX_TRACE(std::string("catalogue not loaded: ") + e.what());
    }
    PostMessage(hwnd_, kMsgLateInit, 0, 0);
    SqlWriteQueue::Instance().StartWriter();
    LX_TRACE(u"initialised; program " + program_path_);
}

void CMainDlg::OnLateInit() {
    late_initialised_ = true;
    LX_TRACE("late initialisation");
    listener_poster_ = std::make_unique<ListenerCountPoster>(hwnd_);
    GetListenerCountHandler::Instance().SetReceiver(listener_poster_.get());
    GetListenerCountHandler::Instance().Start();
    GetAllRadioResourceEvent::Instance().Handler().SetWindow(hwnd_);
    RadioResourceUpdate::Request(this);
}

void CMainDlg::OnNewRadioResourceVersion(const RadioResourceVersionInfo& info) {
    RadioResourceUpdate::StartPackageDownload(info);
}

void CMainDlg::OnRadioResourceReady() {
    const bool imported = RadioResourceUpdate::ImportDownloadedPackage(radio_store_, [this] {
        try {
            radio_store_.Load();
        } catch (const CppSQLite3Exception& e) {
            LX_TRACE(std::string("catalogue not reloaded: ") + e.what());
        }
    });
    LX_TRACE(imported ? "5038: downloaded package imported" : "5038: downloaded package incomplete, not imported");
}

void CMainDlg::OnListenerCounts(WPARAM wParam, LPARAM lParam) {
    const std::unique_ptr<ListenerCountResults> results(ListenerCountPoster::Take(wParam));
    if (!results) return;
    LX_TRACE(Format(u"5046: %d listener count(s) for group %d", static_cast<int>(results->size()),
                    static_cast<int>(lParam)));
}

void CMainDlg::OnRestore(WPARAM wParam, LPARAM lParam) {
    received_.push_back({kMsgRestore, wParam, lParam, {}});
    LX_TRACE(Format(u"6025 (%u, %d): %s", static_cast<uint32_t>(wParam), static_cast<int>(lParam),
                    lParam == kRestoreRequest ? u"restore and come to the front" : u"tray notification"));
}

void CMainDlg::OnCommandLine() {
    SharedMemory block;
    std::u16string text;
    if (block.Open(kMappingName, kMappingBytes)) {
        text = ReadHandOff(block.data(), block.size());
    } else {
        LX_TRACE("5032: the command-line block cannot be opened");
    }
    Received r{kMsgCommandLine, 0, 0, SplitHandOff(text)};
    LX_TRACE(Format(u"5032 (0, 0): %d path(s)", static_cast<int>(r.paths.size())));
    for (const auto& p : r.paths) LX_TRACE(u"5032 path: " + p);
    received_.push_back(std::move(r));
}

void CMainDlg::OnExit() {
    LX_TRACE("exit");
    if (!CConfig::Instance().Save()) LX_TRACE("configuration not saved: the stored settings cannot be read");
    DestroyWindow(hwnd_);
    PostQuitMessage(kIdCancel);
}

LRESULT CMainDlg::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case kMsgRestore:
            OnRestore(wParam, lParam);
            return 0;
        case kMsgCommandLine:
            OnCommandLine();
            return 0;
        case kMsgLateInit:
            OnLateInit();
            return 0;
        case kMsgRadioResourceReady:
            OnRadioResourceReady();
            return 0;
        case kMsgListenerCounts:
            OnListenerCounts(wParam, lParam);
            return 0;
        case kMsgRequestListenerCounts: {
            ListenerCountRequest::Kind kind;
            if (ListenerCountRequest::ForNode(reinterpret_cast<const TreeNode*>(wParam), &kind)) {
                ListenerCountRequest::Request(kind.groupId, kind.type, kind.typeKey);
            }
            return 0;
        }
        case WM_LX_FOREGROUND:
            received_.push_back({msg, wParam, lParam, {}});
            LX_TRACE("come to the front");
            return 0;
        case WM_CLOSE:
            OnExit();
            return 0;
        case WM_COMMAND:
            if (LoWord(wParam) == kIdCancel) {
                OnExit();
            } else if (LoWord(wParam) == kIdOk) {
                DestroyWindow(hwnd);
                PostQuitMessage(kIdOk);
            }
            return 0;
        case WM_DESTROY:
            hwnd_ = nullptr;
            return 0;
        default:
            return 0;
    }
}
