// The notices' lines, as the user reads them (trailing blanks included).
#include "mainwindow/notice_texts.h"

namespace spylerom::mainwindow {

const std::vector<std::string>& fyllMemoLines() {
    static const std::vector<std::string> lines = {"Velg fyll som skrives til disk. ",
                                                   "",
                                                   "Valget \"Null\" skriver bare tallet 0 til disk. ",
                                                   "",
                                                   "Valget \"En\" skriver 1 binært. ",
                                                   "",
                                                   "Valget \"Tilfeldig\" skriver tilfeldige tall til disken ",
                                                   "og er det sikreste i kombinasjon med flere ",
                                                   "gjentagelser. Dette tar litt lenger tid enn ",
                                                   "bare 0 eller 1, men gjør det umulig for de ",
                                                   "fleste program å finne data på disken.",
                                                   "",
                                                   "Uansett hvilket valg som velges, vil det være ",
                                                   "umulig for gjenopprettingsprogram å finne ",
                                                   "rester av data etter at programmet er ferdig."};
    return lines;
}

const std::vector<std::string>& repeatMemoLines() {
    static const std::vector<std::string> lines = {"Velg antall gjentagelser av skriving til disk.",
                                                   "",
                                                   "Flere gjentagelser i kombinasjon med tilfeldig ",
                                                   "fyll gjør det vanskeligere for profesjonelle ",
                                                   "verktøy å hente frem data.",
                                                   "",
                                                   "For å hindre gjenoppretting fra ",
                                                   "Windowsprogrammer skal det være ",
                                                   "tilstrekkelig med en gang."};
    return lines;
}

const std::vector<std::string>& stasjonMemoLines() {
    static const std::vector<std::string> lines = {"Velg stasjon som skal fylles med tomme data.",
                                                   "",
                                                   "Du kan velge alle stasjoner du har rettigheter ",
                                                   "til å skrive til. Du må ha tilgang til å skrive i ",
                                                   "rotkatalogen på valgt stasjon.",
                                                   "",
                                                   "Systemdisken kan også velges, men ",
                                                   "feilmeldinger fra operativsystemet kan ",
                                                   "forekomme i enkelte tilfeller.",
                                                   "",
                                                   "Ingen data blir slettet fra stasjonen du ",
                                                   "velger. Kun slettede data blir overskrevet."};
    return lines;
}

const std::vector<std::string>& blockMemoLines() {
    static const std::vector<std::string> lines = {"Velg blokkstørrelse.",
                                                   "",
                                                   "Forskjellige disker, lokale eller på nettverket ",
                                                   "har varierende skrivehastighet. Du kan prøve ",
                                                   "deg frem på de forskjellige hastigheter, men ",
                                                   "den største blokkstørrelsen gir oftest den ",
                                                   "raskeste hastigheten.",
                                                   "",
                                                   "På noen USB disker og minnepinner kan stor ",
                                                   "blokkstørrelse gi lav skrivehastighet. For slike ",
                                                   "disker, førsøk først med en blokkstørrelse på ",
                                                   "2048 bytes."};
    return lines;
}

const std::vector<std::string>& startMemoLines() {
    static const std::vector<std::string> lines = {
        "Disken fylles nå med data ......", "", "Du kan arbeide med andre programmer mens ", "dette pågår."};
    return lines;
}

const std::vector<std::string>& ventMemoLines() {
    static const std::vector<std::string> lines = {"Programmet rydder opp i filer, vent litt .......", "",
                                                   "Midlertidige filer laget av programmet blir ",
                                                   "lukket og slettet."};
    return lines;
}

} // namespace spylerom::mainwindow
