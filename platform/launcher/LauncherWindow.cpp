// LauncherWindow: SDL window, OpenGL context and Dear ImGui for the launcher.
// The pointer comes from the events: queued ones do not move SDL's mouse, and
// headless drivers have none.
#include "platform/launcher/LauncherWindow.h"

#include <SDL.h>
#include <SDL_opengl.h>
#include <SDL_shape.h>
#include <imgui.h>
#include <imgui_impl_opengl2.h>
#include <imgui_impl_sdl.h>

#include <cfloat>
#include <fstream>

#include "platform/video/Video.h"

namespace kvx::platform {
namespace {

using namespace launcher;

constexpr const char* kTitle = "Morvane";
constexpr const char* kFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// The controls in Tab order.
enum Control { kMode, kWindowed, kQuality, kStart, kControlCount };

// Gives a shaped window its outline; false when the driver refuses.
bool applyShape(SDL_Window* window, const std::vector<uint8_t>& shape) {
    SDL_Surface* surface =
        SDL_CreateRGBSurfaceWithFormat(0, kDialogWidth, kDialogHeight, 32, SDL_PIXELFORMAT_RGBA32);
    for (int y = 0; surface != nullptr && y < kDialogHeight; ++y) {
        auto* row = static_cast<uint8_t*>(surface->pixels) + y * surface->pitch;
        for (int x = 0; x < kDialogWidth; ++x)
            SDL_memset4(row + x * 4, shape[std::size_t(y * kDialogWidth + x)] ? ~0u : 0u, 1);
    }
    SDL_WindowShapeMode mode;
    mode.mode = ShapeModeBinarizeAlpha;
    mode.parameters.binarizationCutoff = 1;  // alpha 0 is outside, anything else inside
    const bool ok = surface != nullptr && SDL_SetWindowShape(window, surface, &mode) == 0;
    SDL_FreeSurface(surface);
    return ok;
}

}  // namespace

struct LauncherWindow::Impl : View {
    std::vector<uint8_t> shape;  // empty: a rectangle
    SDL_Window* window = nullptr;
    SDL_GLContext gl = nullptr;
    ImGuiContext* imgui = nullptr;
    GLuint skin = 0;
    float fontPixels = 13.0f;  // Dear ImGui's own font, unless DejaVu loads
    // Input as the events left it.
    ImVec2 mouse{-FLT_MAX, -FLT_MAX};
    bool mouseDown = false, enterDown = false;
    float wheel = 0.0f;
    // The control that had the focus in the last frame, and the one Tab asks
    // for. Until the user acts, the focus is Dear ImGui's own, unseen pick.
    int focused = -1, focusRequest = -1;
    bool touched = false;
    // Dragging: the pointer on the screen and the window's place at the press.
    int grabX = 0, grabY = 0, windowX = 0, windowY = 0;

    explicit Impl(LauncherChoice c) : View{std::move(c), false, false, Rect{}} {}

    ~Impl() {
        if (imgui != nullptr) {
            SDL_GL_MakeCurrent(window, gl);
            ImGui::SetCurrentContext(imgui);
            if (ImGui::GetIO().BackendRendererUserData != nullptr)
                ImGui_ImplOpenGL2_Shutdown();
            if (ImGui::GetIO().BackendPlatformUserData != nullptr)
                ImGui_ImplSDL2_Shutdown();
            ImGui::DestroyContext(imgui);
            glDeleteTextures(1, &skin);
        }
        SDL_GL_DeleteContext(gl);  // null is no context
        if (window != nullptr)
            SDL_DestroyWindow(window);
    }

    bool openWindow() {
        // Centred: half the screen minus half the window. A display without
        // a size (headless drivers) puts the window at 0, 0.
        SDL_Rect b{0, 0, 0, 0};
        if (SDL_GetDisplayBounds(0, &b) != 0 || b.w <= 0 || b.h <= 0)
            b = SDL_Rect{0, 0, kDialogWidth, kDialogHeight};
        const int x = b.x + b.w / 2 - kDialogWidth / 2, y = b.y + b.h / 2 - kDialogHeight / 2;
        SDL_GL_ResetAttributes();  // the default context has the fixed-function pipeline
        const Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN;
        if (!shape.empty()) {
            // Shaped windows take unsigned positions: a screen smaller than
            // the window gets it at its top-left corner.
            window =
                SDL_CreateShapedWindow(kTitle, unsigned(std::max(x, 0)), unsigned(std::max(y, 0)),
                                       kDialogWidth, kDialogHeight, flags);
            shaped = window != nullptr && applyShape(window, shape);
            if (window != nullptr && !shaped)
                SDL_DestroyWindow(window);  // the driver cannot shape windows: a plain one
        }
        if (!shaped)
            window = SDL_CreateWindow(kTitle, x, y, kDialogWidth, kDialogHeight, flags);
        gl = window != nullptr ? SDL_GL_CreateContext(window) : nullptr;
        return gl != nullptr && SDL_GL_MakeCurrent(window, gl) == 0;
    }

    bool startImGui(const std::optional<SkinImage>& image) {
        imgui = ImGui::CreateContext();
        ImGui::SetCurrentContext(imgui);
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;  // the program writes no files
        io.ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard;
        if (std::ifstream(kFontFile).good() && io.Fonts->AddFontFromFileTTF(kFontFile, 14.0f))
            fontPixels = 14.0f;
        else
            io.Fonts->AddFontDefault();
        // The plain grey look of a classic dialog; lists as LauncherLists.h says.
        ImGui::StyleColorsLight();
        ImGuiStyle& s = ImGui::GetStyle();
        s.WindowPadding = ImVec2(kListMargin, kListMargin);           // the dialog itself has none
        s.FramePadding.y = (float(kWindowedBox.h) - fontPixels) / 2;  // the list boxes have theirs
        s.ItemSpacing.y = float(kListRowHeight) - fontPixels;
        s.WindowBorderSize = 0.0f;
        s.FrameBorderSize = 1.0f;
        s.WindowRounding = s.PopupRounding = s.FrameRounding = s.ScrollbarRounding = 0.0f;
        s.Colors[ImGuiCol_WindowBg] = s.Colors[ImGuiCol_Button] =
            ImVec4(212 / 255.0f, 208 / 255.0f, 200 / 255.0f, 1.0f);
        s.Colors[ImGuiCol_FrameBg] = s.Colors[ImGuiCol_PopupBg] = ImVec4(1, 1, 1, 1);
        if (image) {
            glGenTextures(1, &skin);
            glBindTexture(GL_TEXTURE_2D, skin);
            // Blown up pixel by pixel, not smoothed; alpha only shapes the window.
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, image->width, image->height, 0, GL_RGBA,
                         GL_UNSIGNED_BYTE, image->rgba.data());
            if (glGetError() != GL_NO_ERROR) {
                glDeleteTextures(1, &skin);  // too large for this GL: the plain face
                skin = 0;
            }
        }
        return ImGui_ImplSDL2_InitForOpenGL(window, gl) && ImGui_ImplOpenGL2_Init();
    }

    bool insideShape(int x, int y) const {
        if (x < 0 || y < 0 || x >= kDialogWidth || y >= kDialogHeight)
            return false;
        return shape.empty() || shape[std::size_t(y * kDialogWidth + x)] != 0;
    }

    // Whether the event concerns the dialog (and frames must follow).
    bool handle(const SDL_Event& e) {
        switch (e.type) {
            case SDL_QUIT:
                choice.state = DialogState::Cancelled;
                return true;
            case SDL_WINDOWEVENT:
                if (e.window.windowID != SDL_GetWindowID(window))
                    return false;  // an earlier launcher's
                if (e.window.event == SDL_WINDOWEVENT_CLOSE)
                    choice.state = DialogState::Cancelled;
                return ImGui_ImplSDL2_ProcessEvent(&e);
            case SDL_KEYDOWN:
            case SDL_KEYUP:
                return key(e);
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP:
                if (e.button.button != SDL_BUTTON_LEFT ||
                    (e.type == SDL_MOUSEBUTTONDOWN && !insideShape(e.button.x, e.button.y)))
                    return false;
                touched = true;
                mouse = ImVec2(float(e.button.x), float(e.button.y));
                mouseDown = e.type == SDL_MOUSEBUTTONDOWN;
                return true;
            case SDL_MOUSEMOTION:
                mouse = ImVec2(float(e.motion.x), float(e.motion.y));
                if (dragging) {
                    int gx = 0, gy = 0;
                    SDL_GetGlobalMouseState(&gx, &gy);
                    SDL_SetWindowPosition(window, windowX + gx - grabX, windowY + gy - grabY);
                }
                return true;
            case SDL_MOUSEWHEEL:
                wheel +=
                    float(e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y);
                return true;
            default:
                return false;
        }
    }

    bool key(const SDL_Event& e) {
        const SDL_Keycode k = e.key.keysym.sym;
        const bool down = e.type == SDL_KEYDOWN;
        if (k == SDLK_ESCAPE && down) {
            choice.state = DialogState::Cancelled;
        } else if (k == SDLK_TAB) {
            // Tab is ours: this Dear ImGui tabs between text fields only.
            const int step = (e.key.keysym.mod & KMOD_SHIFT) != 0 ? -1 : 1;
            if (down && openList.w == 0) {
                focusRequest = focused < 0 || !touched
                                   ? (step > 0 ? kMode : kStart)
                                   : (focused + step + kControlCount) % kControlCount;
            }
        } else {
            if (k == SDLK_RETURN || k == SDLK_KP_ENTER)
                enterDown = down;  // Enter activates as Space does
            ImGui_ImplSDL2_ProcessEvent(&e);
        }
        touched = touched || down;
        return true;
    }

    // Draws one frame; with capture, also reads it back before it is shown.
    void frame(std::vector<uint8_t>* capture = nullptr) {
        ImGui::SetCurrentContext(imgui);
        SDL_GL_MakeCurrent(window, gl);
        ImGui_ImplOpenGL2_NewFrame();
        ImGui_ImplSDL2_NewFrame();
        ImGuiIO& io = ImGui::GetIO();
        io.MousePos = mouse;
        io.MouseDown[0] = mouseDown;
        io.MouseWheel = wheel;
        wheel = 0.0f;
        io.NavInputs[ImGuiNavInput_Activate] = enterDown ? 1.0f : 0.0f;
        ImGui::NewFrame();
        const bool listWasOpen = openList.w > 0;
        panel();
        // A press on no control drags the window, unless it only closed a list.
        if (ImGui::IsMouseClicked(0) && !ImGui::IsAnyItemActive() && !listWasOpen &&
            openList.w == 0) {
            dragging = true;
            SDL_GetGlobalMouseState(&grabX, &grabY);
            SDL_GetWindowPosition(window, &windowX, &windowY);
        }
        dragging = dragging && mouseDown;
        ImGui::Render();
        glViewport(0, 0, kDialogWidth, kDialogHeight);
        glClear(GL_COLOR_BUFFER_BIT);
        ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
        if (capture != nullptr)
            capture->resize(std::size_t(kDialogWidth * kDialogHeight * 4));
        for (int y = 0; capture != nullptr && y < kDialogHeight; ++y) {
            uint8_t* row = capture->data() + y * kDialogWidth * 4;  // GL's rows run bottom-up
            glReadPixels(0, kDialogHeight - 1 - y, kDialogWidth, 1, GL_RGBA, GL_UNSIGNED_BYTE, row);
            for (int x = 0; x < kDialogWidth; ++x)
                row[x * 4 + 3] = insideShape(x, y) ? 255 : 0;
        }
        SDL_GL_SwapWindow(window);
    }

    void panel() {
        ImGui::SetNextWindowPos(ImVec2(0, 0));
        ImGui::SetNextWindowSize(ImVec2(kDialogWidth, kDialogHeight));
        ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0, 0));
        ImGui::Begin("launcher", nullptr,
                     ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove |
                         ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoBringToFrontOnFocus |
                         (skin != 0 ? ImGuiWindowFlags_NoBackground : 0));
        ImGui::PopStyleVar();
        if (skin != 0) {
            ImGui::GetBackgroundDrawList()->AddImage(ImTextureID(intptr_t(skin)), ImVec2(0, 0),
                                                     ImVec2(kDialogWidth, kDialogHeight));
        }
        for (int i = 0; skin == 0 && i < 3; ++i) {
            ImGui::SetCursorPos(ImVec2(kLabels[i].x, kLabels[i].y));
            ImGui::TextUnformatted(kLabels[i].text);
        }
        focused = -1;
        openList = Rect{};
        listBox(kMode, kModeBox, choice.mode, choice.modeRows.size(),
                [this](std::size_t i) { return kModeRows[choice.modeRows[i]].text; });
        control(kWindowed, kWindowedBox,
                [this] { ImGui::Checkbox("##windowed", &choice.windowed); });
        listBox(kQuality, kQualityBox, choice.quality, kQualityItemCount,
                [](std::size_t i) { return kQualityItems[i].text; });
        control(kStart, kStartButton, [this] {
            if (ImGui::Button("Go", ImVec2(kStartButton.w, kStartButton.h)))
                choice.state = DialogState::Started;
        });
        ImGui::End();
    }

    // Places one control at box, taking and noting the keyboard focus.
    template <typename Submit>
    void control(int which, const Rect& box, Submit submit) {
        if (focusRequest == which) {
            ImGui::SetKeyboardFocusHere();
            focusRequest = -1;
        }
        ImGui::SetCursorPos(ImVec2(box.x, box.y));
        submit();
        if (ImGui::IsItemFocused())
            focused = which;
    }

    template <typename Text>
    void listBox(int which, const Rect& box, std::size_t& selected, std::size_t count, Text text) {
        bool open = false;
        control(which, box, [&] {
            ImGui::SetNextItemWidth(box.w);
            // The dropped list gets the rest of the box's height; longer lists scroll.
            ImGui::SetNextWindowSizeConstraints(ImVec2(0, 0),
                                                ImVec2(FLT_MAX, box.h - kFieldHeight));
            ImGui::PushStyleVar(ImGuiStyleVar_FramePadding,
                                ImVec2(4, (float(kFieldHeight) - fontPixels) / 2));
            open = ImGui::BeginCombo(which == kMode ? "##mode" : "##quality", text(selected));
            ImGui::PopStyleVar();
        });
        for (std::size_t i = 0; open && i < count; ++i) {
            if (ImGui::Selectable(text(i), i == selected))
                selected = i;
            if (i == selected)
                ImGui::SetItemDefaultFocus();
        }
        if (open) {
            const ImVec2 pos = ImGui::GetWindowPos(), size = ImGui::GetWindowSize();
            openList = Rect{int(pos.x), int(pos.y), int(size.x), int(size.y)};
            ImGui::EndCombo();
        }
    }
};

std::unique_ptr<LauncherWindow> LauncherWindow::create(LauncherChoice choice,
                                                       const std::optional<SkinImage>& skin,
                                                       std::string& error) {
    auto d = std::make_unique<Impl>(std::move(choice));
    if (skin)
        d->shape = buildShapeMask(*skin, kDialogWidth, kDialogHeight);
    if (!d->openWindow() || !d->startImGui(skin)) {
        error = std::string("launcher window: ") + SDL_GetError();
        return nullptr;
    }
    escapePressed();  // forget presses made before the dialog; one held down still counts
    SDL_ShowWindow(d->window);
    SDL_RaiseWindow(d->window);
    d->frame();
    return std::unique_ptr<LauncherWindow>(new LauncherWindow(std::move(d)));
}

LauncherWindow::LauncherWindow(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
LauncherWindow::~LauncherWindow() = default;

DialogState LauncherWindow::step(int timeoutMs) {
    Impl& d = *impl_;
    // Escape held down since before the window had the focus sends no event.
    if (escapePressed())
        d.choice.state = DialogState::Cancelled;
    // Wait for input, then take all that is queued. Peeking, unlike polling,
    // does not stop at the end of SDL's poll cycle with events still queued.
    SDL_WaitEventTimeout(nullptr, timeoutMs);
    SDL_PumpEvents();
    SDL_Event e;
    while (d.choice.state == DialogState::Running &&
           SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
        // Two frames per event: a press and a release quicker than a frame
        // still make a click, and Dear ImGui places a list that opened (or
        // drops one that closed) in the frame after.
        const bool handled = d.handle(e);
        for (int i = 0; i < 2 && handled && d.choice.state == DialogState::Running; ++i)
            d.frame();
    }
    return d.choice.state;
}

const LauncherWindow::View& LauncherWindow::view() const {
    return *impl_;
}

std::vector<uint8_t> LauncherWindow::pixels() {
    std::vector<uint8_t> out;
    impl_->frame(&out);
    return out;
}

}  // namespace kvx::platform
