#pragma once

// French texts of the assembly subsystem, as the "Erreur :" box shows them.
namespace kavrel::assembly {

// Splitting a source path into folder and base name.
inline constexpr const char* kOpSplitPath = "Découpage du chemin";
inline constexpr const char* kReasonNameTooShort = "Le nom du fichier a moins de 4 caractères.";
inline constexpr const char* kReasonNameTooLong = "Le nom du fichier est trop long.";

// The BOO job.
inline constexpr const char* kOpAssembleBoo = "Assemblage .BOO";
inline constexpr const char* kReasonOutputMissing = "L'assembleur n'a pas écrit ce fichier.";
inline constexpr const char* kReasonSourceIsOutput =
    "Le fichier source porte le nom d'un fichier que l'assembleur écrit.";

} // namespace kavrel::assembly

// The assembly report.
namespace kavrel::assembly::report {

inline constexpr const char* kPanelTitle = "Compte rendu d'assemblage";
inline constexpr const char* kSucceeded = "Assemblage réussi : 0 erreur";
// "Assemblage terminé avec 1 erreur", "... avec 2 erreurs".
inline constexpr const char* kFinishedWithStart = "Assemblage terminé avec ";
inline constexpr const char* kOneError = " erreur";
inline constexpr const char* kErrors = " erreurs";
// "asmhc11 a terminé avec le code 2".
inline constexpr const char* kExitCodeStart = "asmhc11 a terminé avec le code ";
inline constexpr const char* kSignalStart = "asmhc11 a été arrêté par le signal ";
inline constexpr const char* kNoOutput =
    "(L'assembleur a écrit dans sa propre fenêtre de console.)";
inline constexpr const char* kDiagnosticsName = "Erreurs et avertissements";
inline constexpr const char* kOutputName = "Sortie de l'assembleur";
inline constexpr const char* kCommandName = "Commande";
inline constexpr const char* kVerdictName = "Résultat";

} // namespace kavrel::assembly::report
