#include "diagnosticcapture.h"

DiagnosticCapture::DiagnosticCapture() : mRedirect(&DiagnosticCapture::collect, this) {}

DiagnosticCapture::~DiagnosticCapture()
{
    // Whatever the test did not take (the lines of a failing step, say) still belongs on standard
    // output, where the lines go by default.
    const QByteArray untaken = take();
    if (untaken.isEmpty())
        return;
    DiagnosticRedirect passOn(&DiagnosticRedirect::toStream, stdout);
    PrintDiagnostic(untaken.constData());
}

QByteArray DiagnosticCapture::take()
{
    const std::lock_guard<std::mutex> lock(mMutex);
    QByteArray taken;
    taken.swap(mCaptured);
    return taken;
}

void DiagnosticCapture::collect(void* context, const char* text, std::size_t size)
{
    auto* capture = static_cast<DiagnosticCapture*>(context);
    const std::lock_guard<std::mutex> lock(capture->mMutex);
    capture->mCaptured.append(text, qsizetype(size));
}
