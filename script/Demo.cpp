// Demo: reading, parsing and building the show's layers; the settings.
#include "script/Demo.h"

#include <algorithm>
#include <numeric>

#include "core/Globals.h"
#include "layers/LayerFactory.h"
#include "script/Parser.h"

namespace kvx::script {

Demo::Demo(const char* scriptName) : Demo(scriptName, vfsFileSource()) {}

Demo::Demo(const char* scriptName, FileSource source)
    : scriptName_(scriptName != nullptr ? scriptName : "") {
    ReadResult read = readScript(scriptName_.text(), source);
    readWarnings_ = std::move(read.warnings);
    if (!read.ok) {
        error_ = std::move(read.error);
        text_.files = std::move(read.text.files);
        return;
    }
    text_ = std::move(read.text);
}

Demo::~Demo() = default;

void Demo::addDeclaration(const core::String& name, const layers::Track& value) {
    const int n = declNames_.count();
    for (int i = 0; i < n; ++i) {
        if (declNames_.ref(i).equals(name)) {
            declNames_.removeAt(i);
            declValues_.removeAt(i);
            break;
        }
    }
    declNames_.pushFront(name);
    declValues_.pushFront(value);
}

layers::Track Demo::findDeclaration(const core::String& name) const {
    const int n = declNames_.count();
    for (int i = 0; i < n; ++i) {
        if (declNames_.ref(i).equals(name)) {
            return declValues_.ref(i);
        }
    }
    return layers::Track();
}

bool Demo::hasDeclaration(const core::String& name) const {
    return findDeclaration(name).current().hasValue();
}

bool Demo::parse() {
    descs_.clear();
    descPositions_.clear();
    declNames_.clear();
    declValues_.clear();
    warnings_ = readWarnings_;
    if (text_.text.empty()) {
        if (!error_) {
            Diagnostic d;
            d.file = scriptName_;
            d.text = formatDiagnostic(d, "the script is empty");
            error_ = std::move(d);
        }
        return false;
    }
    error_.reset();
    Parser parser(text_, *this);
    parser.start();
    const bool ok = parser.parseRoot(descs_, descPositions_);
    warnings_.insert(warnings_.end(), parser.warnings().begin(), parser.warnings().end());
    if (!ok) {
        error_ = parser.error();
        descs_.clear();
        descPositions_.clear();
        return false;
    }
    readSettings();
    return true;
}

void Demo::readSettings() {
    // Each setting is its declaration's current (earliest) keyframe.
    duration_ = findDeclaration("DURATION").current().intValue;
    const layers::Keyframe config = findDeclaration("SOUNDCONFIG").current();
    if (config.hasValue()) {
        soundConfig_ = config.text;
    }
    const layers::Keyframe track = findDeclaration("SOUNDTRACK").current();
    if (track.hasValue()) {
        soundtrack_ = track.text;
    }
    auto& g = core::globals();
    const layers::Keyframe event = findDeclaration("BEATEVENT").current();
    if (event.hasValue()) {
        g.beatEvent.store(event.floatValue, std::memory_order_relaxed);
    }
    const layers::Keyframe falloff = findDeclaration("BEATFALLOF").current();
    if (falloff.hasValue()) {
        g.beatFalloff.store(falloff.floatValue, std::memory_order_relaxed);
    }
}

std::vector<int> Demo::drawingOrder() const {
    // The layers are taken last LAYER first; a stable sort by z keeps that
    // order among equal z.
    std::vector<int> order(descs_.size());
    std::iota(order.rbegin(), order.rend(), 0);
    std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
        return descs_[static_cast<size_t>(a)].z < descs_[static_cast<size_t>(b)].z;
    });
    return order;
}

std::optional<std::vector<std::unique_ptr<layers::Layer>>> Demo::buildLayers(
    int& count, LoadProgress* progress) {
    count = 0;
    if (!parse()) {
        return std::nullopt;
    }
    const int n = static_cast<int>(descs_.size());
    if (progress != nullptr) {
        progress->setTotal(2 * n);
    }
    std::vector<std::unique_ptr<layers::Layer>> layers;
    layers.reserve(descs_.size());
    for (int i = n - 1; i >= 0; --i) {
        layers.push_back(layers::LayerFactory::create(descs_[static_cast<size_t>(i)]));
        if (progress != nullptr) {
            progress->step();
        }
    }
    // Drawing order: missing layers last, then ascending z; stable, so among
    // equal z the later LAYER of the script is drawn first.
    std::stable_sort(
        layers.begin(), layers.end(),
        [](const std::unique_ptr<layers::Layer>& a, const std::unique_ptr<layers::Layer>& b) {
            if (!a || !b) {
                return a && !b;
            }
            return a->z < b->z;
        });
    count = static_cast<int>(
        std::count_if(layers.begin(), layers.end(),
                      [](const std::unique_ptr<layers::Layer>& l) { return l != nullptr; }));
    return layers;
}

}  // namespace kvx::script
