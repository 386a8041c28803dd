// BtrvExecute: issues one Btrieve operation and decides what its status
// means — lock biases and waits, the status corrections, statuses taken as
// success, statuses kept silent, and the report through
// EBtrieve::BtrvErrorFunc.
//
// Steps, in order:
//  1. A wait bias (100, 300) becomes its no-wait form (200, 400) and marks the
//     call *may wait*; the bias is added to the operation only for 6 to 13,
//     23, 24 and 33 to 39. Without a bias, Insert and Delete may wait.
//  2. BTRCALLID when a client identifier with a non-zero client number is
//     given, else BTRCALL.
//  3. After every call: 11 on Create becomes 0 when a file (not a folder) of
//     that name exists; 35 on the first Open becomes 12 when the folder part
//     of the name exists.
//  4. A call that may wait and meets 84 or 85 (not on Open) shows the wait
//     notice (when EBtrieve::ShowLockDlg) and is issued again, from the first
//     retry with the wait form of its bias, until the status changes.
//  5. 22 becomes 0 when short buffers are accepted, or on Get Direct with a
//     data length of 4.
//  6.-10. 0 is returned; statuses of the silent list are returned without a
//     report (Open with 85 excepted); the registry switches
//     (btrv_report_policy.h) and *quiet* may keep the status quiet; otherwise
//     it is reported once, with the operation as issued.
// The status returned is always the record manager's last status after the
// corrections of steps 3 and 5; reporting never changes it.
//
// Thread-safety: as the record manager's; the wait blocks the calling thread.
#pragma once

#include <cstdint>

#include "data/btrieve_client.h"

namespace tavelnor::data {

int16_t BtrvExecute(uint16_t operation, void* pos_block, void* data, uint16_t* data_len,
                    void* key, int16_t key_num, uint16_t lock_bias, const BtrvClientId* client_id,
                    const char* file_name, bool accept_short_buffer, bool quiet);

}  // namespace tavelnor::data
