// Excited states of a CIS or TD job (770): a header of ten words, then the spin
// and the symmetry of each state (one word each), then each state's values.
// Word 0 holds NStates (high half) and NValues, the values per state (low half);
// the other header words are kept as stored. formchk writes the header as the
// twenty halves of its ten words, each word's high half first ("ETran scalars").
#include "tesvarin/sections/further_sections.hpp"

namespace tesvarin {

ExcitedStates read_excited_states(const SectionView& s) {
    ExcitedStates x;
    x.nstates = s.high_half(0);
    x.values_per_state = s.low_half(0);
    s.expect_count("NStates (word 0, high half)", x.nstates, 0, s.size());
    s.expect_count("NValues (word 0, low half)", x.values_per_state, 0, s.size());
    const Checked head(ExcitedStates::kHeaderWords), states(x.nstates), values(x.values_per_state);
    s.expect_length(head + states * (2 + values), "10 + NStates*(2 + NValues)",
                    "10 + " + states.str() + "*(2 + " + values.str() + ")");
    for (int64_t k = 0; k < ExcitedStates::kHeaderWords; ++k) {
        x.scalars.push_back(s.high_half(k));
        x.scalars.push_back(s.low_half(k));
    }
    x.spin = s.ints(head, states);
    x.symmetry = s.ints(head + states, states);
    x.state_values = s.reals(head + 2 * states, states * values);
    return x;
}

}  // namespace tesvarin
