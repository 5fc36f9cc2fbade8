// IEditorWindows: the window system as the engine's editor notifications need it. The Windows
// shell implements it with its window functions; the engine never owns it through this
// interface. The command id and the codes below are what the editor windows receive.
#pragma once

// Command id under which the editor registers its window for engine notifications.
constexpr int kEngineNotifyCommandId = 32700;

// Codes posted to the editor windows.
enum EngineNotifyCode : int {
    kNotifyInputFormat = 0,
    kNotifyOutputFormat = 1,
    kNotifyStateLoaded = 100,
};

class IEditorWindows {
public:
    // Whether a registered window still exists. Called under the engine lock.
    virtual bool WindowExists(void* window) = 0;
    // Posts a command (id, code) to a window without waiting for it: the streaming and host
    // threads must never wait for the editor's thread. Called under the engine lock.
    virtual void PostCommand(void* window, int id, int code) = 0;

protected:
    ~IEditorWindows() = default;
};
