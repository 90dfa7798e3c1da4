#include "MessageBoxRecorder.h"

#include <utility>

MessageBoxRecorder::MessageBoxRecorder(QMessageBox::StandardButton button)
    : MessageBoxRecorder([button](const MessageBox::Request &) { return button; })
{
}

MessageBoxRecorder::MessageBoxRecorder(MessageBox::Handler answer)
{
    MessageBox::setHandler([this, answer = std::move(answer)](const MessageBox::Request &request) {
        m_requests.append(request);
        return answer(request);
    });
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    MessageBox::setHandler({});
    MessageBox::setUnattended(false);
}
