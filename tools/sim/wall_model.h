// A wall with heat capacity for the emulator: a surface resistance on each side and the wall
// itself as equal layers, each a capacity between two halves of its resistance. The flux at the
// inner surface then lags and stores heat the way a real heavy wall does.
#pragma once

#include <vector>

namespace zond::sim {

class LayeredWall {
  public:
    // R air to air (m²·K/W, above the surface resistances 1/αв + 1/αн), C the whole wall's heat
    // capacity per area (J/(m²·K)), in the steady state of the given temperatures.
    LayeredWall(double resistance, double capacity, double inside, double outside);

    // Advances `seconds` with the room and outside temperatures moving linearly from the
    // previous ones to these.
    void advance(double inside, double outside, double seconds);

    // W/m² into the inner surface from the room at the present temperatures.
    double innerFlux() const;

    static constexpr double kSurfaceInside = 1 / 8.7;
    static constexpr double kSurfaceOutside = 1 / 23.0;

  private:
    void step(double insideFrom, double outsideFrom, double insideTo, double outsideTo, double h);

    std::vector<double> nodes_;  // layer temperatures, room side first
    double capacity_ = 0;        // of one layer
    double toRoom_ = 0;          // conductances: room to the first layer, between layers, last
    double between_ = 0;         // layer to outside
    double toOutside_ = 0;
    double inside_ = 0;
    double outside_ = 0;
};

}  // namespace zond::sim
