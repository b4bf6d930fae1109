#pragma once

#include "TClientDataSet.h"

// DisableControls on a record set for the lifetime of the object, EnableControls on every way
// out.
class ControlsSuspended
{
public:
    explicit ControlsSuspended(TClientDataSet& dataSet) : m_dataSet(dataSet)
    {
        m_dataSet.DisableControls();
    }
    ~ControlsSuspended() { m_dataSet.EnableControls(); }
    ControlsSuspended(const ControlsSuspended&) = delete;
    ControlsSuspended& operator=(const ControlsSuspended&) = delete;

private:
    TClientDataSet& m_dataSet;
};
