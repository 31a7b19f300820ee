#pragma once

#include <QString>
#include <QStringList>

namespace sayloom {

// espeak-ng's IPA for US English, as espeak_TextToPhonemes writes it with "_" between phonemes and a space between
// words ("k_j_ˈuː_b_ɚ_n_ˌiː_t_s"), mapped onto the CMU phone set of pocketsphinx's US English model ("K Y UW B ER
// N IY T S"). Stress and length marks are dropped, since the model's phones carry neither; a phoneme the table
// lacks is split into the longest symbols it knows, and what is left unknown is skipped. Empty when nothing could
// be mapped.
QStringList arpabetFromIpa(const QString& ipa);

// The CMU phones of the US English model (without the silence phone).
const QStringList& arpabetPhones();

} // namespace sayloom
