// Which of the large sections a parse reads. The header, the job description, the molecule,
// the basis and the further sections are always read; a scan that needs none of the big arrays
// reads a few kilobytes of a file of any size.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>

namespace tesvarin {

struct ReadOptions {
    bool orbitals = true;   // orbital energies, MO coefficients, the orthonormal basis
    bool hessian = true;    // Cartesian force constants
    bool densities = true;  // total and spin densities

    bool everything() const { return orbitals && hessian && densities; }
    // "orbitals, densities": the sections left unread, for messages.
    std::string unread() const {
        std::string names;
        const std::initializer_list<std::pair<bool, const char*>> parts = {
            {orbitals, "orbitals"}, {hessian, "hessian"}, {densities, "densities"}};
        for (const auto& [read, name] : parts)
            if (!read) names += (names.empty() ? "" : ", ") + std::string(name);
        return names;
    }
};

}  // namespace tesvarin
