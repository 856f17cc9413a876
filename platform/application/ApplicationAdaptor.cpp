#include "ApplicationAdaptor.h"

#include "application/ApplicationService.h"

ApplicationAdaptor::ApplicationAdaptor(ApplicationService& service)
    : QDBusAbstractAdaptor(&service), m_service(service)
{}

void ApplicationAdaptor::Activate(const QVariantMap&)
{
    m_service.activateCalled();
}

void ApplicationAdaptor::Open(const QStringList&, const QVariantMap&)
{
    m_service.activateCalled();
}

void ApplicationAdaptor::ActivateAction(const QString& actionName, const QVariantList& parameter,
                                        const QVariantMap&)
{
    m_service.activateActionCalled(actionName, parameter);
}
