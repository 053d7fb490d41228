// The single-instance lock.
#include <QTemporaryDir>
#include <QtTest>

#include "tests/ui/test_classes.h"
#include "ui/instance_lock.h"

using raid::ui::InstanceLock;

class InstanceTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void secondHolderIsRefusedUntilTheFirstEnds() {
        QTemporaryDir dir;
        const std::string path = raid::ui::RuntimeLockPath(dir.path().toUtf8().constData());
        std::string error;
        auto first = std::make_unique<InstanceLock>();
        QCOMPARE(first->Acquire(path, error), InstanceLock::Outcome::Acquired);
        InstanceLock second;
        QCOMPARE(second.Acquire(path, error), InstanceLock::Outcome::HeldElsewhere);
        first.reset();
        QCOMPARE(second.Acquire(path, error), InstanceLock::Outcome::Acquired);
    }

    void lockIsNamedAfterKvGui() {
        QCOMPARE(QString::fromStdString(raid::ui::RuntimeLockPath("/run/user/1000")),
                 QString("/run/user/1000/KV_GUI.lock"));
        const QString fallback = QString::fromStdString(raid::ui::RuntimeLockPath(nullptr));
        QVERIFY(fallback.startsWith("/tmp/KV_GUI-"));
        QCOMPARE(QString::fromStdString(raid::ui::RuntimeLockPath("")), fallback);
    }

    void missingFolderFailsWithReason() {
        InstanceLock lock;
        std::string error;
        QCOMPARE(lock.Acquire("/nonexistent-folder/KV_GUI.lock", error),
                 InstanceLock::Outcome::Failed);
        QVERIFY(QString::fromStdString(error).contains("/nonexistent-folder/KV_GUI.lock"));
    }
};

QObject* raid::uitest::MakeInstanceTest() {
    return new InstanceTest;
}

#include "instance_test.moc"
