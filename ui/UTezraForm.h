#pragma once
// The test window: one problem at a time, then points, mark and the result submission.

#include <QLabel>
#include <QPushButton>
#include <memory>
#include <string>

#include "ui/ModalForm.h"

class TfmTezra : public TModalForm {
    Q_OBJECT

public:
    explicit TfmTezra(QWidget* parent = nullptr);

    QLabel* Label1;
    QPushButton* bnAnswer;

protected:
    void showEvent(QShowEvent* event) override;
};

extern std::unique_ptr<TfmTezra> fmTezra;

// The result server tried first (cp1251): the compiled-in default until the command line or a
// submission changes it.
extern std::string ServerAddress;
