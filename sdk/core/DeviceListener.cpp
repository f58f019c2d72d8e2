#include "DeviceListener.h"

#include <cstring>

#include "PDKErrors.h"
#include "PDKException.h"
#include "PDKSDK.h"
#include "PDKTrace.h"

CDeviceListener::CDeviceListener() = default;

CDeviceListener::~CDeviceListener() {
  if (m_listening) stopListen();
}

void CDeviceListener::update(CPDKSDK& subject) {
  const DeviceParams* event = subject.currentEvent();
  if (event == nullptr) return;
  const DeviceParams& p = *event;
  if (p.status == pdk::kNotConnected) {
    deviceDisconnected(p);
  } else if (p.status == pdk::kParamsChanged) {
    DeviceParams copy = p;
    copy.status = pdk::kOk;
    deviceUpdated(copy);
  } else if (isDeviceValid(p)) {
    deviceConnected(p);
  } else if (p.removable == 1) {
    if (std::strcmp(p.product, "Plunda") != 0 || p.revision[0] != '1') {
      if (deviceNotRecognized(p)) subject.retryUnrecognised(p);
    } else {
      PDKTrace("CDeviceListener::update: Plunda 1.x connected, id %d, SDK will ignore it\n", p.id);
      deviceNotRecognized(p);
    }
  }
}

void CDeviceListener::deviceUpdated(const DeviceParams&) {}

bool CDeviceListener::deviceNotRecognized(const DeviceParams&) { return false; }

bool CDeviceListener::isDeviceValid(const DeviceParams& params) {
  return params.status == pdk::kOk;
}

bool CDeviceListener::startListen() {
  try {
    CPDKSDK& sdk = CPDKSDK::instance();
    if (!sdk.hasDetection()) return false;
    sdk.attach(this);
    m_listening = true;
    sdk.startPolling();
    return true;
  } catch (const pdk::CPDKException&) {
    return false;
  }
}

void CDeviceListener::stopListen() {
  m_listening = false;
  try {
    CPDKSDK::instance().detach(this);
  } catch (const pdk::CPDKException&) {
  }
}
