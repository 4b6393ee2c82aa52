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
