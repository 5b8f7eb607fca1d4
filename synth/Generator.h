// Generators: the oscillators of a voice.
//
// Five types, created by name from the configuration: "gSine" (0),
// "gSquare" (1), "gNoice" (2, the spelling of the file format), "gSaw" (3)
// and "gTriangle" (4). The pitched ones share a coupled recursive sine
// oscillator (double state) from which the square, saw and triangle are
// derived. Generators add into the buffer they are given; they never clear it.
//
// Threads: created on the main thread while the configuration is read, then
// used only by the music thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "synth/Tables.h"

namespace kvx::synth {

class Generator {
  public:
    // Virtual operations in their fixed order: destructor, noteOn, render, setGains.
    virtual ~Generator() = default;
    // frequency is ignored (it arrives with each render); level 0..127 sets
    // the gain, pan -64..63 the pan gains, phaseSpread (degrees) detunes the
    // phase of the right oscillator in stereo. shared is the per-instrument
    // object of the type (no type has one).
    virtual void noteOn(double frequency, int level, int pan, int phaseSpread, void* shared) = 0;
    // Adds count floats (interleaved in stereo) at the given frequency.
    virtual void render(float* buffer, int count, float frequency) = 0;
    virtual void setGains(float left, float right) = 0;

    // State copies (checkpoints of a player, Player::saveState): a copy of
    // this generator with all its state, still reading the same settings;
    // bind points a copy at the settings of the player it now belongs to.
    virtual std::unique_ptr<Generator> clone() const = 0;
    virtual void bind(const Settings& settings) = 0;
};

// The type numbers are those of the registration order.
enum class GeneratorType : uint8_t { Sine = 0, Square = 1, Noise = 2, Saw = 3, Triangle = 4 };
constexpr GeneratorType kGeneratorTypes[] = {GeneratorType::Sine, GeneratorType::Square,
                                             GeneratorType::Noise, GeneratorType::Saw,
                                             GeneratorType::Triangle};

// The type of a registered generator name ("gSine" ...), or nothing.
std::optional<GeneratorType> generatorTypeByName(std::string_view name);
const char* generatorTypeName(GeneratorType type);
// A new generator of the type, reading the stereo flag from settings.
std::unique_ptr<Generator> makeGenerator(GeneratorType type, const Settings& settings);

// render() of n generators that were all made with `type`, generator j into
// buffers[j] at frequencies[j]; the same result as rendering them one by one,
// computed side by side.
void renderGenerators(GeneratorType type, Generator* const* generators, float* const* buffers,
                      const float* frequencies, int n, int count);

// Left and right pan gains of a pan value: left = right = 1, the opposite
// side attenuated by |pan| / 64.
void panGains(int pan, float& left, float& right);

}  // namespace kvx::synth
