#pragma once
#include <QString>

namespace dorv {

// How long a search of every password like the given one would take: the same length, drawn from
// the groups of signs it uses (Latin and Cyrillic letters of each case, digits, other signs), at
// the speed of one ordinary computer against an AES-encrypted data file. Nothing derives a strong
// key from a weak password, so the length and the alphabet are all the protection there is.
struct PasswordStrength {
    // Tries a second that one computer manages against a data file.
    static constexpr double TriesPerSecond = 65000.0;

    double seconds = 0;
    // "Подбор займёт около 2 часов"; empty for no password.
    QString text;
    // Found in less than a year.
    bool weak = false;

    static PasswordStrength of(const QString& password);
};

} // namespace dorv
