#pragma once
// Names and user-info keys of the notifications the session managers, their task records,
// the task resume / suspend hook and the reachability manager post.

// Posted by every session task of the process on the thread that resumed / suspended it.
inline constexpr char NKNSURLSessionTaskDidResumeNotification[] = "com.netkit.networking.nsurlsessiontask.resume";
inline constexpr char NKNSURLSessionTaskDidSuspendNotification[] = "com.netkit.networking.nsurlsessiontask.suspend";

// A session manager's own tasks, on the main queue, with the task as object.
inline constexpr char NKNetworkingTaskDidResumeNotification[] = "com.netkit.networking.task.resume";
inline constexpr char NKNetworkingTaskDidSuspendNotification[] = "com.netkit.networking.task.suspend";
inline constexpr char NKNetworkingTaskDidCompleteNotification[] = "com.netkit.networking.task.complete";

// User-info keys of the completion notification.
inline constexpr char NKNetworkingTaskDidCompleteResponseSerializerKey[] =
    "com.netkit.networking.task.complete.responseserializer";
inline constexpr char NKNetworkingTaskDidCompleteSessionTaskMetrics[] =
    "com.netkit.networking.complete.sessiontaskmetrics";
inline constexpr char NKNetworkingTaskDidCompleteAssetPathKey[] = "com.netkit.networking.task.complete.assetpath";
inline constexpr char NKNetworkingTaskDidCompleteResponseDataKey[] =
    "com.netkit.networking.complete.finish.responsedata";
inline constexpr char NKNetworkingTaskDidCompleteSerializedResponseKey[] =
    "com.netkit.networking.task.complete.serializedresponse";
inline constexpr char NKNetworkingTaskDidCompleteErrorKey[] = "com.netkit.networking.task.complete.error";

// Session level, posted on the session's delegate queue.
inline constexpr char NKURLSessionDidInvalidateNotification[] = "com.netkit.networking.session.invalidate";
inline constexpr char NKURLSessionDownloadTaskDidMoveFileSuccessfullyNotification[] =
    "com.netkit.networking.session.download.file-manager-succeed";
inline constexpr char NKURLSessionDownloadTaskDidFailToMoveFileNotification[] =
    "com.netkit.networking.session.download.file-manager-error";

// Reachability changes, on the main queue, with the manager as object.
inline constexpr char NKNetworkingReachabilityDidChangeNotification[] = "com.netkit.networking.reachability.change";
inline constexpr char NKNetworkingReachabilityNotificationStatusItem[] = "NKNetworkingReachabilityNotificationStatusItem";
