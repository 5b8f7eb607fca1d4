// Demo: the in-memory form of the show's script.
//
// Construction reads the script through a file source (the Vfs by default)
// with its includes expanded. buildLayers parses it once: the declarations
// (named values, some of which are the show's settings) and the LAYER
// elements, turned into Layers by the LayerFactory and sorted into drawing
// order (ascending z; among equal z the later LAYER first; missing layers
// last). After a failed build, diagnostic() says where and why.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/List.h"
#include "core/String.h"
#include "layers/Layer.h"
#include "layers/LayerDesc.h"
#include "layers/Track.h"
#include "script/Diagnostics.h"
#include "script/LoadProgress.h"
#include "script/ScriptText.h"

namespace kvx::script {

class Demo {
  public:
    // Reads the script at once through the Vfs.
    explicit Demo(const char* scriptName = "script.zel");
    // Reads through the given source instead (tests, tools).
    Demo(const char* scriptName, FileSource source);
    ~Demo();
    Demo(const Demo&) = delete;
    Demo& operator=(const Demo&) = delete;

    // Parses the script and creates the layers. Null (nullopt) when the text
    // is empty or does not parse. Otherwise the array holds every LAYER's
    // layer in drawing order with the missing ones (unknown or unregistered
    // types) at the end, and count is the number of non-null entries.
    std::optional<std::vector<std::unique_ptr<layers::Layer>>> buildLayers(
        int& count, LoadProgress* progress = nullptr);

    // Parses without creating layers (kvxcheck); also reads the settings.
    // False when the text is empty or does not parse.
    bool parse();

    // Named values; a later declaration of a name replaces the earlier one.
    void addDeclaration(const core::String& name, const layers::Track& value);
    // A copy of the named value (case-sensitive), or a default track.
    layers::Track findDeclaration(const core::String& name) const;
    bool hasDeclaration(const core::String& name) const;

    // Settings, read from the declarations at build time.
    int duration() const { return duration_; }
    const core::String& soundtrack() const { return soundtrack_; }
    const core::String& soundConfig() const { return soundConfig_; }

    const std::string& scriptText() const { return text_.text; }
    const MappedText& mappedText() const { return text_; }

    // After parse or buildLayers: the LAYERs in script order and where each
    // one starts.
    const std::vector<layers::LayerDesc>& layerDescs() const { return descs_; }
    const std::vector<Diagnostic>& layerPositions() const { return descPositions_; }
    // Indices into layerDescs() in drawing order (stable by z over the
    // reversed script order), all LAYERs included.
    std::vector<int> drawingOrder() const;

    // The first syntax error of a failed parse (also a missing or empty
    // script); meaningful only when parse or buildLayers failed.
    const std::optional<Diagnostic>& diagnostic() const { return error_; }
    // Silent recoveries of the reader and the grammar.
    const std::vector<Diagnostic>& warnings() const { return warnings_; }

  private:
    void readSettings();

    core::String scriptName_;
    int duration_ = 0;
    core::String soundtrack_ = "music.m";
    core::String soundConfig_ = "config.sp";
    MappedText text_;
    core::List<core::String> declNames_;
    core::List<layers::Track> declValues_;
    std::vector<layers::LayerDesc> descs_;
    std::vector<Diagnostic> descPositions_;
    std::optional<Diagnostic> error_;
    std::vector<Diagnostic> readWarnings_;
    std::vector<Diagnostic> warnings_;
};

}  // namespace kvx::script
