// Step 4, the SCF type: IOpCl and the restricted open-shell switch from the switch
// record, the code split into its factors, and the method word prefixed with the
// wavefunction type.
#include "tesvarin/read/scf_type.hpp"

#include "tesvarin/parser.hpp"

void Tesvarin::decode_sc(int64_t IOpCl, int64_t& spinBlocks, int64_t& valueKind, int64_t& components, bool& above7,
                         int64_t& densityBlocks, int64_t& above15) {
    if (IOpCl < 0) {
        spinBlocks = valueKind = components = 1;
        above7 = false;
        densityBlocks = 1;
        above15 = 0;
        return;
    }
    switch (IOpCl) {
        case 0:
        case 1:
        case 2:
        case 3:
        case 6:
        case 10:
        case 11:
        case 14:
        case 18:
        case 22:
            break;
        default:
            TESVARIN_THROW("Illegal IOpCl in decode_sc");
    }
    spinBlocks = (IOpCl & 1) + 1;
    valueKind = ((IOpCl >> 1) & 1) + 1;
    components = ((IOpCl >> 2) & 1) + 1;
    above7 = IOpCl > 7;
    densityBlocks = (IOpCl == 6 || IOpCl == 14) ? 2 : spinBlocks;
    above15 = IOpCl > 15 ? 1 : 0;
}

tesvarin::ScfType Tesvarin::scf_factors(int64_t IOpCl) {
    tesvarin::ScfType f;
    int64_t density_blocks = 1, above15 = 0;
    bool above7 = false;
    decode_sc(IOpCl, f.spin_blocks, f.value_kind, f.components, above7, density_blocks, above15);
    return f;
}

tesvarin::ScfType Tesvarin::read_scf_type() {
    int index = -1;
    if (has_magic(tesvarin::section::kSwitches, index)) {
        iopcl = switches.iopcl = switches.ilsw[kIlswIOpCl];
        switches.irohf = switches.ilsw[kIlswIrohf];
    } else {
        iopcl = switches.iopcl = switches.irohf = 0;
    }
    const tesvarin::ScfType scf = scf_factors(iopcl);
    // Restricted open shell: the working code counts one more spin block than the stored one.
    if ((switches.irohf == 1 || switches.irohf == 2 ||
         (switches.irohf == 3 && has_magic(tesvarin::section::kRohfMarker, index))) &&
        (iopcl == 0 || iopcl == 2)) {
        iopcl += 1;
    }
    return scf;
}

void Tesvarin::prefix_method(const tesvarin::ScfType& scf) {
    // Without Info1-9 there is no slot 5 to decide on.
    if (params.info1_9.size() < 6) return;
    if (params.info1_9[5] % 1000 >= 200 || switches.ilsw[kIlswIrohf] >= 2) return;
    std::string prefix;
    if (scf.components == 2) {
        prefix = "G";
    } else {
        prefix = scf.value_kind == 2 ? "C" : "";
        prefix.insert(0, scf.spin_blocks == 2 ? "U" : switches.ilsw[kIlswIrohf] == 1 ? "RO" : "R");
    }
    params.method.insert(0, prefix);
}
