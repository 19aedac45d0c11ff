#include "net/group_key.h"

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QPasswordDigestor>
#include <QRandomGenerator>
#include <QString>
#include <cstring>

#include "net/key_lines.h"

namespace crewmap::net {
namespace {

// One fixed salt naming the program. A group passphrase is shared by the
// group anyway; the salt only keeps tables made for other programs from
// fitting, and the stretched key never leaves the PC.
constexpr char kSalt[] = "Crewmap group key 1";

QByteArray Bytes(std::string_view text) { return QByteArray(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

std::string NormalizeKey(std::string_view utf8) {
  const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
  // simplified(): every run of white space (the ideographic space too) as one space, none at the ends.
  return text.normalized(QString::NormalizationForm_KC).simplified().toStdString();
}

std::optional<GroupKey> GroupKey::Stretch(std::string_view utf8) {
  GroupKey key;
  key.text_ = NormalizeKey(utf8);
  if (key.text_.empty()) return std::nullopt;
  key.stretched_ = QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, Bytes(key.text_),
                                                      QByteArray(kSalt), kRounds, kProofBytes);
  return key;
}

std::string GroupKey::Proof(std::string_view label, std::string_view hostNonce, std::string_view memberNonce) const {
  // Nonces have one fixed length, so label, host nonce and member nonce
  // follow each other without ambiguity.
  QMessageAuthenticationCode mac(QCryptographicHash::Sha256, stretched_);
  mac.addData(Bytes(label));
  mac.addData(Bytes(hostNonce));
  mac.addData(Bytes(memberNonce));
  return mac.result().toStdString();
}

std::string GroupKey::MemberProof(std::string_view hostNonce, std::string_view memberNonce) const {
  return Proof(std::string_view("crewmap member\0", 15), hostNonce, memberNonce);
}

std::string GroupKey::HostProof(std::string_view hostNonce, std::string_view memberNonce) const {
  return Proof(std::string_view("crewmap host\0", 13), hostNonce, memberNonce);
}

std::string FreshNonce() {
  quint32 words[kNonceBytes / sizeof(quint32)];
  QRandomGenerator::system()->fillRange(words);
  std::string nonce(kNonceBytes, '\0');
  std::memcpy(nonce.data(), words, kNonceBytes);
  return nonce;
}

bool SameProof(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  unsigned char differ = 0;
  for (std::size_t i = 0; i < a.size(); ++i) differ |= static_cast<unsigned char>(a[i] ^ b[i]);
  return differ == 0;
}

}  // namespace crewmap::net
