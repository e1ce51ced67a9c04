// "loxanradio --play ADDRESS": plays a stream address or a local file through the player's own
// play-state logic and the real engine, without windows, and prints the status texts as they
// change, so reconnecting and failing can be watched from a terminal. Runs on the main thread;
// the engine posts to a message window there, and SIGINT/SIGTERM end it through SignalWatcher.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/SignalWatcher.h"
#include "engine/include/LXPlayer.h"
#include "platform/Message.h"
#include "platform/Paths.h"
#include "platform/Sync.h"
#include "platform/Text.h"
#include "playback/Media.h"
#include "playback/PlayStateLogic.h"
#include "playback/SystemPlayClock.h"
#include "storage/MyFile.h"
#include "storage/Radio.h"

int RunPlay(const std::vector<std::u16string>& args);

namespace {

constexpr UINT kStopTimer = 100;  // --seconds

void PrintLine(const std::u16string& text) {
    std::printf("%s\n", Utf16ToUtf8(text).c_str());
    std::fflush(stdout);
}

// Prints what the display would show: status changes (the connect animation's dots only once
// per word), titles, bit rates and buffer levels.
class ConsoleDisplay : public INowPlayingDisplay {
public:
    void SetStatus(const std::u16string& text) override {
        std::u16string word = text;
        while (!word.empty() && word.back() == u'.') word.pop_back();
        if (word == last_word_ && word != kStatusBuffering) return;
        last_word_ = word;
        if (word != kStatusBuffering) PrintLine(word);
    }
    void SetTitle(const std::u16string& text) override {
        if (!text.empty() && text != title_) PrintLine(u"标题: " + text);
        title_ = text;
    }
    void SetBitRate(const std::u16string& text) override {
        if (!text.empty()) PrintLine(text);
    }
    void SetPercent(const std::u16string& text) override {
        if (text != percent_) PrintLine(kStatusBuffering + text);
        percent_ = text;
    }

private:
    std::u16string last_word_;
    std::u16string title_;
    std::u16string percent_;
};

class ConsoleTips : public ITipWindows, public ITrayTip {
public:
    void ShowTip(const std::u16string& text, int, const std::u16string&) override { PrintLine(text); }
    void ShowConnectTip(const std::u16string& text, int) override { PrintLine(text); }
    bool IsTrayEnabled() const override { return true; }
};

class PlayWindow : public IWindowProc {
public:
    LRESULT WindowProc(HWND, UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_COMMAND && LoWord(wParam) == 2) {  // SignalWatcher: orderly exit
            PostQuitMessage(0);
            return 0;
        }
        if (msg == WM_TIMER && wParam == kStopTimer) {
            PostQuitMessage(0);
            return 0;
        }
        LRESULT r = 0;
        if (!logic) {
            if (msg == LXMSG_SPECTRUM) LXFreeNotifyValues(reinterpret_cast<const void*>(wParam));
            return 0;
        }
        logic->HandleMessage(msg, wParam, lParam, &r);
        if (msg == LXMSG_STATE) CheckEnd(static_cast<int>(wParam));
        return r;
    }

    // A file that played to its end, a station given up, or a source that cannot play ends the run.
    void CheckEnd(int state) {
        const bool file = item && item->GetType() == TYPE_FILE;
        if (file && state == LXSTATE_ENDED) {
            PostQuitMessage(0);
        } else if (state == LXSTATE_UNSUPPORTED || state == LXSTATE_OUTPUT_FAILED ||
                   (file && state == LXSTATE_OPEN_FAILED) ||
                   ((state == LXSTATE_ENDED || state == LXSTATE_OPEN_FAILED) &&
                    logic->ReconnectCount() > CPlayStateLogic::kMaxReconnects)) {
            PostQuitMessage(1);
        }
    }

    CPlayStateLogic* logic = nullptr;
    TreeNode* item = nullptr;
};

int Usage() {
    std::fprintf(stderr,
                 "usage: loxanradio --play ADDRESS [--seconds N] [--null-audio]\n"
                 "  ADDRESS       a stream address (http://, https://, mms://, a playlist) or a local file\n"
                 "  --seconds N   stop after N seconds (default: until Ctrl+C)\n"
                 "  --null-audio  play without a sound device\n");
    return 2;
}

}  // namespace

int RunPlay(const std::vector<std::u16string>& args) {
    std::u16string address;
    int seconds = 0;
    bool null_audio = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == u"--seconds" && i + 1 < args.size()) {
            seconds = WToI(args[++i]);
        } else if (args[i] == u"--null-audio") {
            null_audio = true;
        } else if (address.empty() && !args[i].empty()) {
            address = args[i];
        } else {
            return Usage();
        }
    }
    if (address.empty() || seconds < 0) return Usage();

    std::unique_ptr<TreeNode> item;
    if (IsRegularFile(address)) {
        item = std::make_unique<MyFile>(address, 0, 0);
    } else {
        item = std::make_unique<CRadio>(address, address, u"", u"", u"", u"", u"", u"", u"", u"", 0, 0, 0);
    }

    SignalWatcher signals;
    PlayWindow window;
    HWND hwnd = CreateMessageWindow(&window);
    int code = 0;
    {
        CMedia media;
        media.SetNotifyWindow(hwnd);
        if (null_audio) media.SetAudioOutput(LXOUTPUT_NULL);
        ConsoleDisplay display;
        ConsoleTips tips;
        CSystemPlayClock clock(hwnd);
        PlayViews views;
        views.display = &display;
        views.tips = &tips;
        views.tray = &tips;
        CPlayStateLogic logic(media, views, clock);
        window.logic = &logic;
        window.item = item.get();
        if (!logic.LateInit()) {
            std::fprintf(stderr, "loxanradio: the playback engine (%s) could not be loaded\n", LXPLAYER_LIBRARY_NAME);
            window.logic = nullptr;
            DestroyWindow(hwnd);
            return 1;
        }
        signals.Watch(hwnd);
        if (seconds > 0) SetTimer(hwnd, kStopTimer, static_cast<UINT>(seconds) * 1000);
        logic.PlayItemRequest(item.get());
        MSG msg;
        while (GetMessage(&msg)) DispatchMessage(msg);
        code = static_cast<int>(msg.wParam);
        logic.StopRequest();
        window.logic = nullptr;
    }
    // The engine is gone: hand back what it posted last (spectrum values are ours to free).
    MSG rest;
    while (PeekMessage(&rest, true)) {
        if (rest.message != WM_QUIT) DispatchMessage(rest);
    }
    DestroyWindow(hwnd);
    return code;
}
