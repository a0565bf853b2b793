#include "board_sim.h"

namespace korvel::sim {

struct BoardSim::Impl {
    BoardSimOptions options;
};

BoardSim::BoardSim(BoardSimOptions options) : d(std::make_unique<Impl>()) { d->options = options; }
BoardSim::~BoardSim() = default;

}  // namespace korvel::sim
