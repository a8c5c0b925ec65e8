#include "sdk/zovaze/network/session/ZEVURLSessionDataTask.hpp"

std::shared_ptr<ZEVURLSessionDataTask> ZEVURLSessionDataTask::task() {
    return std::shared_ptr<ZEVURLSessionDataTask>(new ZEVURLSessionDataTask());
}

void ZEVURLSessionDataTask::resume() {
    // One connection per task, ever: not again after the first one has finished and been let go.
    if (cancelled_ || resumed_.exchange(true)) return;
    auto expected = net::URLSessionTaskState::suspended;
    state_.compare_exchange_strong(expected, net::URLSessionTaskState::running);
    auto me = dataSelf();
    queue().async([me] {
        // Checked here too: a cancel that came before this block must keep the connection from starting.
        if (me->cancelled_) return;
        auto request = me->originalRequest();
        if (!request) return;
        auto connection = net::URLConnection::connectionWithRequest(*request, me);
        me->setConnection(connection);
        // A cancel() that ran between the check above and setConnection() found no connection to stop.
        if (me->cancelled_) {
            connection->cancel();
            return;
        }
        connection->start();
    });
}

void ZEVURLSessionDataTask::cancel() {
    cancelled_ = true;
    state_ = net::URLSessionTaskState::canceling;
    if (auto connection = this->connection()) connection->cancel();
}

net::DataTaskCompletionHandler ZEVURLSessionDataTask::completionHandler() const {
    std::lock_guard lock(mutex_);
    return completionHandler_;
}

void ZEVURLSessionDataTask::setCompletionHandler(net::DataTaskCompletionHandler handler) {
    std::lock_guard lock(mutex_);
    completionHandler_ = std::move(handler);
}

std::shared_ptr<net::URLConnection> ZEVURLSessionDataTask::connection() const {
    std::lock_guard lock(mutex_);
    return connection_;
}

void ZEVURLSessionDataTask::setConnection(std::shared_ptr<net::URLConnection> connection) {
    std::lock_guard lock(mutex_);
    connection_ = std::move(connection);
}

void ZEVURLSessionDataTask::connectionDidReceiveResponse(net::URLConnection&,
                                                         const net::URLResponseRef& response) {
    auto me = dataSelf();
    queue().async([me, response] {
        if (me->cancelled_) return;
        if (auto delegate = std::dynamic_pointer_cast<ZEVURLSessionDataDelegate>(me->delegate()))
            delegate->taskDidReceiveResponse(me, response);
        me->setResponse(response);
    });
}

void ZEVURLSessionDataTask::connectionDidReceiveData(net::URLConnection&,
                                                     const std::vector<std::uint8_t>& data) {
    auto me = dataSelf();
    queue().async([me, data] {
        if (me->cancelled_) return;
        if (!me->data_) me->data_.emplace();
        me->data_->insert(me->data_->end(), data.begin(), data.end());
        if (auto delegate = std::dynamic_pointer_cast<ZEVURLSessionDataDelegate>(me->delegate()))
            delegate->taskDidReceiveData(me, data);
    });
}

void ZEVURLSessionDataTask::connectionDidFailWithError(net::URLConnection&, const ns::Error& error) {
    auto me = dataSelf();
    queue().async([me, error] {
        if (me->cancelled_) return;
        me->setError(error);
        me->complete();
    });
}

void ZEVURLSessionDataTask::connectionDidFinishLoading(net::URLConnection&) {
    auto me = dataSelf();
    queue().async([me] {
        if (me->cancelled_) return;
        me->complete();
    });
}

void ZEVURLSessionDataTask::complete() {
    if (!claimCompletion()) return;
    state_ = net::URLSessionTaskState::completed;
    auto handler = completionHandler();
    auto error = this->error();
    if (handler) handler(data_, response(), error);
    if (auto delegate = this->delegate()) delegate->taskDidCompleteWithError(dataSelf(), error);
    // Handlers often hold their owner; letting go of them here ends such cycles.
    setCompletionHandler(nullptr);
    setConnection(nullptr);
}
