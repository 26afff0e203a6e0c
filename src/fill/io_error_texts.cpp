// The table of error texts, one per code 1..216.
#include "fill/io_error_texts.h"

#include <array>
#include <string_view>

namespace spylerom::fill {

namespace {

// Index 0 is unused so that an entry stands at its code.
constexpr std::array<std::string_view, 217> kTexts = {
    "",
    "Feil funksjonsnummer",                               // 1
    "Filen fins ikke",                                    // 2
    "Stasjonen eller mappen fins ikke",                   // 3
    "For mange filer åpne",                               // 4
    "Ikke tilgang til fil/mappe",                         // 5
    "Feil filhandtering",                                 // 6
    "Kontrollblokker i minnet er ødelagt",                // 7
    "Ikke nok internminne",                               // 8
    "Feil adresse til blokk i minne",                     // 9
    "Feil i systeminformasjon",                           // 10
    "Feil format",                                        // 11
    "Feil i filtilgangskode",                             // 12
    "Feil i data",                                        // 13
    "Reservert feil",                                     // 14
    "Feil stasjon",                                       // 15
    "Kan ikke fjerne denne mappen",                       // 16
    "Kan ikke endre navn over stasjon",                   // 17
    "ingen flere filer",                                  // 18
    "Disketten er skriverbeskyttet",                      // 19
    "Ukjent unit",                                        // 20
    "Stasjonen er ikke klar",                             // 21
    "Feil kommando",                                      // 22
    "CRC feil",                                           // 23
    "Feil lengde",                                        // 24
    "Søkefeil på disken",                                 // 25
    "Ikke en dos disk",                                   // 26
    "Finner ikke sektor på disk",                         // 27
    "Skriveren er tom for papir",                         // 28
    "Skrivefeil",                                         // 29
    "Lesefeil",                                           // 30
    "Generell DOS-feil",                                  // 31
    "Sharing violation",                                  // 32
    "Lock violation",                                     // 33
    "Feil disk",                                          // 34
    "FCB ikke tilgjengelig",                              // 35
    "Shareing buffer exceeded",                           // 36
    "CODE PAGE MISMATCHED",                               // 37
    "Handle EOF",                                         // 38
    "Disk full",                                          // 39
    "UDOKUMENTERT DOS FEIL, 28h",                         // 40
    "UDOKUMENTERT DOS FEIL, 29h",                         // 41
    "UDOKUMENTERT DOS FEIL, 2Ah",                         // 42
    "UDOKUMENTERT DOS FEIL, 2Bh",                         // 43
    "UDOKUMENTERT DOS FEIL, 2Ch",                         // 44
    "UDOKUMENTERT DOS FEIL, 2Dh",                         // 45
    "UDOKUMENTERT DOS FEIL, 2Eh",                         // 46
    "UDOKUMENTERT DOS FEIL, 2Fh",                         // 47
    "UDOKUMENTERT DOS FEIL, 30h",                         // 48
    "UDOKUMENTERT DOS FEIL, 31h",                         // 49
    "FEILEN HAR INGEN SUPPORT",                           // 50
    "REM NOT LIST",                                       // 51
    "DOBBELT NAVN",                                       // 52
    "BAD NETPATH",                                        // 53
    "NETTVERK MIDLERTIDIG OPPTATT",                       // 54
    "DEVICE NOT EXIST",                                   // 55
    "FOR MANGE KOMMANDOER",                               // 56
    "ADAP HDW ERR",                                       // 57
    "BAD NET RESP",                                       // 58
    "UVENTET FEIL PÅ NETTET",                             // 59
    "BAD REM ADAP",                                       // 60
    "SKRIVERKØEN ER FULL",                                // 61
    "NO SPOOL SPACE",                                     // 62
    "UTSKRIFT AVBRUTT",                                   // 63
    "NAVN PÅ NETT ER SLETTET",                            // 64
    "INGEN ADGANG TIL NETT",                              // 65
    "BAD DEVICE TYPE",                                    // 66
    "FEIL NAVN PÅ NETTET",                                // 67
    "FOR MANGE NAVN",                                     // 68
    "FOR MANGE SESJONER",                                 // 69
    "SHARING PAUSED",                                     // 70
    "FORESPØRSEL IKKE AKSEPTERT",                         // 71
    "REDIR PAUSED",                                       // 72
    "UDOKUMENTERT DOSFEIL, 49h",                          // 73
    "UDOKUMENTERT DOSFEIL, 4Ah",                          // 74
    "UDOKUMENTERT DOSFEIL, 4Bh",                          // 75
    "UDOKUMENTERT DOSFEIL, 4Ch",                          // 76
    "UDOKUMENTERT DOSFEIL, 4Dh",                          // 77
    "UDOKUMENTERT DOSFEIL, 4Eh",                          // 78
    "UDOKUMENTERT DOSFEIL, 4Fh",                          // 79
    "FINNES",                                             // 80
    "DUPLIKAT FCB",                                       // 81
    "KAN IKKE LAGE",                                      // 82
    "FAIL ON INT 24h",                                    // 83
    "OUT OF STRUCTURES",                                  // 84
    "ALLEREDE TILORDNET",                                 // 85
    "UGYLDIG PASSORD",                                    // 86
    "UGYLDIG PARAMETER",                                  // 87
    "SKRIVEFEIL TIL NETT",                                // 88
    "UDOKUMENTERT DOS FEIL, 59h",                         // 89
    "SYSTEM KOMPONENTER IKKE HENTET",                     // 90
    "UDOKUMENTERT DOSFEIL, 61h",                          // 91
    "UDOKUMENTERT DOSFEIL, 62h",                          // 92
    "UDOKUMENTERT DOSFEIL, 63h",                          // 93
    "UDOKUMENTERT DOSFEIL, 64h",                          // 94
    "UDOKUMENTERT DOSFEIL, 65h",                          // 95
    "UDOKUMENTERT DOSFEIL, 66h",                          // 96
    "UDOKUMENTERT DOSFEIL, 67h",                          // 97
    "UDOKUMENTERT DOSFEIL, 68h",                          // 98
    "UDOKUMENTERT DOSFEIL, 69h",                          // 99
    "LESEFEIL I FRA DISK",                                // 100
    "SKRIVEFEIL TIL DISK, ELLER DISK FULL",               // 101
    "FILEN ER IKKE TILORDNET FILVARIABEL",                // 102
    "ER IKKE ÅPEN",                                       // 103
    "ER IKKE ÅPEN FOR INNDATA",                           // 104
    "ER IKKE ÅPEN FOR UTDATA",                            // 105
    "FEIL I DET NUMERISKE FORMAT",                        // 106
    "",                                                   // 107
    "",                                                   // 108
    "",                                                   // 109
    "",                                                   // 110
    "",                                                   // 111
    "Det er ikke nok ledig plass på disken",              // 112
    "",                                                   // 113
    "",                                                   // 114
    "",                                                   // 115
    "",                                                   // 116
    "",                                                   // 117
    "",                                                   // 118
    "",                                                   // 119
    "",                                                   // 120
    "",                                                   // 121
    "",                                                   // 122
    "",                                                   // 123
    "",                                                   // 124
    "",                                                   // 125
    "",                                                   // 126
    "",                                                   // 127
    "",                                                   // 128
    "",                                                   // 129
    "",                                                   // 130
    "",                                                   // 131
    "",                                                   // 132
    "",                                                   // 133
    "",                                                   // 134
    "",                                                   // 135
    "",                                                   // 136
    "",                                                   // 137
    "",                                                   // 138
    "",                                                   // 139
    "",                                                   // 140
    "",                                                   // 141
    "",                                                   // 142
    "",                                                   // 143
    "",                                                   // 144
    "Mappen er ikke tom",                                 // 145
    "",                                                   // 146
    "",                                                   // 147
    "",                                                   // 148
    "",                                                   // 149
    "DISKETTEN ER SKRIVEBESKYTTET",                       // 150
    "UKJENT UNIT",                                        // 151
    "STASJONEN ER IKKE KLAR",                             // 152
    "UKJENT KOMMANDO",                                    // 153
    "CRC FEIL I DATA",                                    // 154
    "BAD DRIVE REQUEST STRUCTURE LENGTH",                 // 155
    "SØKEFEIL PÅ DISK",                                   // 156
    "UKJENT MEDIA TYPE",                                  // 157
    "FINNER IKKE SEKTOR PÅ DISK",                         // 158
    "SKRIVER ER TOM FOR PAPIR",                           // 159
    "SKRIVEFEIL TIL UTGANG",                              // 160
    "LESEFEIL",                                           // 161
    "MASKINVARE FEIL",                                    // 162
    "",                                                   // 163
    "",                                                   // 164
    "",                                                   // 165
    "",                                                   // 166
    "",                                                   // 167
    "",                                                   // 168
    "",                                                   // 169
    "",                                                   // 170
    "",                                                   // 171
    "",                                                   // 172
    "",                                                   // 173
    "",                                                   // 174
    "",                                                   // 175
    "",                                                   // 176
    "",                                                   // 177
    "",                                                   // 178
    "",                                                   // 179
    "",                                                   // 180
    "",                                                   // 181
    "",                                                   // 182
    "Kan ikke opprette en fil som finnes fra før",        // 183
    "",                                                   // 184
    "",                                                   // 185
    "",                                                   // 186
    "",                                                   // 187
    "",                                                   // 188
    "",                                                   // 189
    "",                                                   // 190
    "",                                                   // 191
    "",                                                   // 192
    "",                                                   // 193
    "",                                                   // 194
    "",                                                   // 195
    "",                                                   // 196
    "",                                                   // 197
    "",                                                   // 198
    "",                                                   // 199
    "DIVISJON MED NULL IKKE TILLATT",                     // 200
    "VARIABEL UTENFOR GRENSEVERDI",                       // 201
    "OVERFLYT I STAKK",                                   // 202
    "IKKE NOK INTERNMINNE TILGJENGELIG",                  // 203
    "UGYLDIG PEKER OPERASJON",                            // 204
    "OVERFLYT I TALL, FOR STORT TALL",                    // 205
    "UNDERFLYT I MATTEPROSESSOR",                         // 206
    "UGYLDIG REGNEOPERASJON",                             // 207
    "OVERLAGRING ER IKKE KLARGJORT",                      // 208
    "LESEFEIL I FRA OVERLAGRINGSFIL",                     // 209
    "OBJEKTET ER IKKE INITIALISERT",                      // 210
    "FORSØK PÅ Å KALLE OPP EN ABSTRAKT VIRITUELL METODE", // 211
    "STREM REGISTRATION ERROR",                           // 212
    "COLLECTION INDEX OUT OF RANGE",                      // 213
    "COLLECTION OVERFLOW ERROR",                          // 214
    "REGNEFEIL, OVERFLYT",                                // 215
    "GENERELL BESKYTTELSE FEIL",                          // 216
};

} // namespace

std::string IoErrorTexts(unsigned code) {
    return code >= 1 && code < kTexts.size() ? std::string(kTexts[code]) : std::string();
}

} // namespace spylerom::fill
