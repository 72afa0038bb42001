#pragma once
// A dotted IPv4 address edit: four decimal parts of 0..255, text such as "192.168.0.100".

#include <QLineEdit>

namespace trivel {

class IpAddressEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit IpAddressEdit(QWidget* parent = nullptr);
};

} // namespace trivel
