#pragma once
// Certificates, public keys, policies and trust evaluation in one include.

#include <platform_net/SecBase.h>
#include <platform_net/SecCertificate.h>
#include <platform_net/SecKey.h>
#include <platform_net/SecPolicy.h>
#include <platform_net/SecTrust.h>
